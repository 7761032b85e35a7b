#include "link/port_text.h"

#include "link/serial_io.h"

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The text without a list entry's " (description)".
std::string WithoutDescription(const std::string& text) {
  const std::string t = Trimmed(text);
  return Trimmed(t.substr(0, t.find(" (")));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Above this a number names no port any serial library knows.
constexpr int kLargestNumber = 99999;

}  // namespace

int PortNumberOfText(const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.size() < 4) return 0;
  for (std::size_t i = 0; i < 3; ++i)
    if ((t[i] | 0x20) != "com"[i]) return 0;
  int number = 0;
  for (std::size_t i = 3; i < t.size() && IsDigit(t[i]); ++i) {
    number = number * 10 + (t[i] - '0');
    if (number > kLargestNumber) return 0;
  }
  return number;
}

std::string DevicePathOfText(const std::string& text) {
  const std::string path = WithoutDescription(text);
  return path.find('/') == std::string::npos ? std::string() : path;
}

std::string PortTextProblem(const std::string& text) {
  const std::string port = WithoutDescription(text);
  const int number = PortNumberOfText(port);
  const bool comN = number >= 1 && number <= kHighestPort && port == port.substr(0, 3) + std::to_string(number);
  if (comN || !DevicePathOfText(port).empty()) return {};
  const std::string named = port.empty() ? "没有填写端口." : "端口 \"" + port + "\" 不是串口.";
  return named + "\r\n端口应为 com1 到 com" + std::to_string(kHighestPort) + ", 或串口设备的路径 (如 /dev/ttyUSB0).";
}

std::string ListEntry(const PresentPort& port) {
  return port.description.empty() ? port.name : port.name + " (" + port.description + ")";
}
