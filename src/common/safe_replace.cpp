#include "common/safe_replace.h"

#include <cerrno>

#include "common/file_exists.h"
#include "common/system_reason.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::string LastErrorText() {
  wchar_t* buffer = nullptr;
  const DWORD code = GetLastError();
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (buffer) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, -1, nullptr, 0, nullptr, nullptr);
    text.resize(size > 0 ? size - 1 : 0);
    WideCharToMultiByte(CP_UTF8, 0, buffer, -1, text.data(), size, nullptr, nullptr);
    LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool SyncToDisk(const std::string& path, std::string& error) {
  HANDLE file = CreateFileW(PathFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return error = LastErrorText(), false;
  const bool ok = FlushFileBuffers(file);
  if (!ok) error = LastErrorText();
  CloseHandle(file);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  error = LastErrorText();
  return false;
}
#else
bool SyncToDisk(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return error = SystemReason(errno), false;
  const bool ok = ::fsync(fd) == 0;
  if (!ok) error = SystemReason(errno);
  ::close(fd);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return error = SystemReason(errno), false;
  // Make the new directory entry durable too; a failure here loses nothing.
  const std::string folder = PathFromUtf8(to).parent_path().string();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}
#endif

}  // namespace

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target, std::string& error) {
  return SyncToDisk(temporary, error) && RenameOver(temporary, target, error);
}
