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
// After windows.h:
#include <aclapi.h>

std::FILE* OpenFileToRead(const std::string& path) { return _wfopen(PathFromUtf8(path).c_str(), L"rb"); }
std::FILE* OpenFileToChange(const std::string& path) { return _wfopen(PathFromUtf8(path).c_str(), L"r+b"); }

// The C runtime's fopen knows no "x" on every Windows: _O_EXCL says it everywhere.
std::FILE* CreateNewFile(const std::string& path, const std::string&) {
  const int fd = _wopen(PathFromUtf8(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

bool TruncateFile(std::FILE* file, std::uint64_t length) {
  return std::fflush(file) == 0 && _chsize_s(_fileno(file), static_cast<long long>(length)) == 0;
}

bool FolderWritable(const std::filesystem::path& folder) { return _waccess(folder.c_str(), 2) == 0; }

ReplaceBarrier WhatBarsWriting(const std::filesystem::path& file) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  return readOnly ? ReplaceBarrier::ReadOnly : ReplaceBarrier::None;
}

ReplaceBarrier WhatBarsReplacing(const std::filesystem::path& file, const std::filesystem::path&) {
  return WhatBarsWriting(file);
}

bool KeepPermissions(const std::string& temporary, const std::string& target, std::string& error) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const std::wstring old = PathFromUtf8(target).wstring();
  if (GetNamedSecurityInfoW(old.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return true;  // nothing there yet, or nothing we may read: the folder's list, as any new file
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool kept = true;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED)) {
    std::wstring fresh = PathFromUtf8(temporary).wstring();
    const DWORD result = SetNamedSecurityInfoW(fresh.data(), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                               nullptr, nullptr, list, nullptr);
    if (result != ERROR_SUCCESS) {
      SetLastError(result);
      error = LastCallReason();
      kept = false;
    }
  }
  LocalFree(descriptor);
  return kept;
}

bool SyncFile(std::FILE* file, std::string& error) {
  if (std::fflush(file) != 0 || !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))))
    return Failed(error);
  return true;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  return Failed(error);
}

#else
#include <sys/stat.h>
#include <unistd.h>

std::FILE* OpenFileToRead(const std::string& path) { return std::fopen(path.c_str(), "rb"); }
std::FILE* OpenFileToChange(const std::string& path) { return std::fopen(path.c_str(), "r+b"); }

std::FILE* CreateNewFile(const std::string& path, const std::string& like) {
  struct stat model {};
  const mode_t mode = !like.empty() && ::stat(like.c_str(), &model) == 0 ? (model.st_mode & 0777) : 0666;
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) ::close(fd);
  return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool TruncateFile(std::FILE* file, std::uint64_t length) {
  return std::fflush(file) == 0 && ::ftruncate(::fileno(file), static_cast<off_t>(length)) == 0;
}

bool FolderWritable(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

ReplaceBarrier WhatBarsWriting(const std::filesystem::path& file) {
  struct stat own {};
  if (::stat(file.c_str(), &own) != 0) return ReplaceBarrier::None;
  if ((own.st_mode & 0222) == 0) return ReplaceBarrier::ReadOnly;  // even for root
  if (::access(file.c_str(), W_OK) != 0) return ReplaceBarrier::NotWritable;
  return ReplaceBarrier::None;
}

ReplaceBarrier WhatBarsReplacing(const std::filesystem::path& file, const std::filesystem::path& folder) {
  struct stat own {}, folders {};
  if (::stat(file.c_str(), &own) != 0 || ::stat(folder.c_str(), &folders) != 0) return ReplaceBarrier::None;
  if (const ReplaceBarrier barrier = WhatBarsWriting(file); barrier != ReplaceBarrier::None) return barrier;
  const uid_t me = ::geteuid();
  const bool ownersOnly = (folders.st_mode & S_ISVTX) && me != 0 && own.st_uid != me && folders.st_uid != me;
  return ownersOnly ? ReplaceBarrier::OwnersOnlyFolder : ReplaceBarrier::None;
}

bool KeepPermissions(const std::string& temporary, const std::string& target, std::string& error) {
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) return true;
  if (::chown(temporary.c_str(), old.st_uid, old.st_gid) != 0) {
    const int groupOnly = ::chown(temporary.c_str(), static_cast<uid_t>(-1), old.st_gid);
    (void)groupOnly;  // else the new file stays ours
  }
  if (::chmod(temporary.c_str(), old.st_mode & 0777) != 0) return error = LastCallReason(), false;
  return true;
}

bool SyncFile(std::FILE* file, std::string& error) {
  if (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) return Failed(error);
  return true;
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
