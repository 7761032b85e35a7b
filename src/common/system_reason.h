#pragma once
#include <string>
#include <system_error>

// The system's reason for a failed file or device call, as a message shows it
// after the path. The common reasons read in Chinese, followed by the system's
// own text in brackets: "磁盘空间已满 (No space left on device)". Any other
// reason is the system's text alone.

// The form every reason takes: "中文 (system text)"; the system's text alone
// when there is no Chinese for it, the Chinese alone when the text is empty.
std::string WithSystemText(const char* chinese, const std::string& systemText);

// An errno value (on Windows the C runtime sets them too).
std::string SystemReason(int errorNumber);

// A Windows error code (GetLastError) with the system's text for it.
std::string WindowsReason(unsigned long code, const std::string& systemText);

// The reason behind an error code of the standard library's file system
// calls (errno values, or Windows codes on Windows).
std::string ErrorCodeReason(const std::error_code& error);

// The reason of the platform call that failed last: GetLastError on Windows,
// errno elsewhere.
std::string LastCallReason();
