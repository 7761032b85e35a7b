#include "common/platform_files.h"

#include <fcntl.h>

#include "common/file_exists.h"
#include "common/system_reason.h"

namespace {

// Keeps the system's reason for the call that just failed; false.
bool Failed(std::string& error) {
  error = LastCallReason();
  return false;
}

}  // namespace

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

std::FILE* OpenFileToRead(const std::string& path) { return _wfopen(PathFromUtf8(path).c_str(), L"rb"); }

// The C runtime's fopen knows no "x" on every Windows: _O_EXCL says it everywhere.
std::FILE* CreateNewFile(const std::string& path) {
  const int fd = _wopen(PathFromUtf8(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

bool FolderWritable(const std::filesystem::path& folder) { return _waccess(folder.c_str(), 2) == 0; }

bool SyncToDisk(const std::string& path, std::string& error) {
  HANDLE file = CreateFileW(PathFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed(error);
  const bool ok = FlushFileBuffers(file);
  if (!ok) error = LastCallReason();
  CloseHandle(file);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  return Failed(error);
}

#else
#include <unistd.h>

std::FILE* OpenFileToRead(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) ::close(fd);
  return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool FolderWritable(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

bool SyncToDisk(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return Failed(error);
  const bool ok = ::fsync(fd) == 0;
  if (!ok) error = LastCallReason();
  ::close(fd);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return Failed(error);
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
