#pragma once
#include <string>

// The system's reason for a failed file or device call, as a message shows it
// after the path (errno values; on Windows the C runtime sets them too).
std::string SystemReason(int errorNumber);
