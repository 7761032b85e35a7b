#include "link/serial_device.h"

#include <cstdlib>

namespace {

#ifdef _WIN32
std::string DeviceOfPort(int port) { return "COM" + std::to_string(port); }
#else
std::string DeviceOfPort(int port) {
  const char* named = std::getenv(("TOLVAR_COM" + std::to_string(port)).c_str());
  if (named && *named) return named;
  return "/dev/ttyS" + std::to_string(port - 1);
}
#endif

}  // namespace

std::string SerialDeviceName(int port) {
  if (port < 1 || port > kHighestPort) return {};
  return DeviceOfPort(port);
}
