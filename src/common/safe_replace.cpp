#include "common/safe_replace.h"

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
bool SyncToDisk(const std::string& path, std::string& error) {
  HANDLE file = CreateFileW(PathFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return error = LastCallReason(), false;
  const bool ok = FlushFileBuffers(file);
  if (!ok) error = LastCallReason();
  CloseHandle(file);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  error = LastCallReason();
  return false;
}
#else
bool SyncToDisk(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return error = LastCallReason(), false;
  const bool ok = ::fsync(fd) == 0;
  if (!ok) error = LastCallReason();
  ::close(fd);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return error = LastCallReason(), false;
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
