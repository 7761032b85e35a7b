#include "link/serial_device.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
std::string DeviceLocation(const std::string& device) { return device; }

namespace {
std::string DeviceOfPort(int port) { return "COM" + std::to_string(port); }
}  // namespace
#else
std::string DeviceLocation(const std::string& device) {
  if (device.find('/') != std::string::npos) return std::filesystem::absolute(device).lexically_normal().string();
  return "/dev/" + device;
}

namespace {
std::string DeviceOfPort(int port) {
  const char* named = std::getenv(("TOLVAR_COM" + std::to_string(port)).c_str());
  if (named && *named) return DeviceLocation(named);
  return "/dev/ttyS" + std::to_string(port - 1);
}
}  // namespace
#endif

std::string SerialDeviceName(int port) {
  if (port < 1 || port > kHighestPort) return {};
  return DeviceOfPort(port);
}
