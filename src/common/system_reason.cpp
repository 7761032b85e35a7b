#include "common/system_reason.h"

#include <cstring>

std::string SystemReason(int errorNumber) { return std::strerror(errorNumber); }
