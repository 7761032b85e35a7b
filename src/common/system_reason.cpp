#include "common/system_reason.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "common/file_exists.h"  // wide text to UTF-8
#endif

namespace {

// What the user is told; the system's text follows it.
const char* const kNoSpace = "磁盘空间已满";
const char* const kPermissionDenied = "没有权限";
const char* const kNotFound = "文件或文件夹不存在";
const char* const kReadOnly = "只读的文件系统";
const char* const kIsFolder = "这是一个文件夹";
const char* const kNameTooLong = "文件名太长";
const char* const kBusy = "设备或文件正被占用";
const char* const kLinkLoop = "符号链接太多层或成环";
const char* const kCrossDevice = "不能跨文件系统重命名";

const char* ChineseForErrno(int errorNumber) {
  switch (errorNumber) {
    case ENOSPC: return kNoSpace;
    case EACCES:
    case EPERM: return kPermissionDenied;
    case ENOENT: return kNotFound;
    case EROFS: return kReadOnly;
    case EISDIR: return kIsFolder;
    case ENAMETOOLONG: return kNameTooLong;
    case EBUSY:
    case ETXTBSY: return kBusy;
    case ELOOP: return kLinkLoop;
    case EXDEV: return kCrossDevice;
    default: return nullptr;
  }
}

// Windows' codes by number (winerror.h), so that the table is the same on
// every platform.
const char* ChineseForWindowsCode(unsigned long code) {
  switch (code) {
    case 39:  // ERROR_HANDLE_DISK_FULL
    case 112: return kNoSpace;  // ERROR_DISK_FULL
    case 5: return kPermissionDenied;  // ERROR_ACCESS_DENIED
    case 2:  // ERROR_FILE_NOT_FOUND
    case 3: return kNotFound;  // ERROR_PATH_NOT_FOUND
    case 19: return kReadOnly;  // ERROR_WRITE_PROTECT
    case 267: return kIsFolder;  // ERROR_DIRECTORY
    case 206: return kNameTooLong;  // ERROR_FILENAME_EXCED_RANGE
    case 32:  // ERROR_SHARING_VIOLATION
    case 33:  // ERROR_LOCK_VIOLATION
    case 170: return kBusy;  // ERROR_BUSY
    case 1921: return kLinkLoop;  // ERROR_CANT_RESOLVE_FILENAME
    case 17: return kCrossDevice;  // ERROR_NOT_SAME_DEVICE
    default: return nullptr;
  }
}

}  // namespace

std::string WithSystemText(const char* chinese, const std::string& systemText) {
  if (!chinese) return systemText;
  if (systemText.empty()) return chinese;
  return std::string(chinese) + " (" + systemText + ")";
}

std::string SystemReason(int errorNumber) {
  return WithSystemText(ChineseForErrno(errorNumber), std::strerror(errorNumber));
}

std::string WindowsReason(unsigned long code, const std::string& systemText) {
  return WithSystemText(ChineseForWindowsCode(code), systemText);
}

#ifdef _WIN32
namespace {
std::string WindowsText(DWORD code) {
  wchar_t* buffer = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (buffer) {
    text = Utf8FromPath(buffer);
    LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}
}  // namespace

std::string ErrorCodeReason(const std::error_code& error) {
  if (error.category() == std::system_category()) return WindowsReason(error.value(), error.message());
  return SystemReason(error.value());
}

std::string LastCallReason() {
  const DWORD code = GetLastError();
  return WindowsReason(code, WindowsText(code));
}
#else
std::string ErrorCodeReason(const std::error_code& error) { return SystemReason(error.value()); }
std::string LastCallReason() { return SystemReason(errno); }
#endif
