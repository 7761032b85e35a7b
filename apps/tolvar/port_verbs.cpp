#include "port_verbs.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string UsbIds(const PresentPort& port) {
  if (!port.usb()) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", port.vendorId & 0xFFFF, port.productId & 0xFFFF);
  return text;
}

void Table(const std::vector<PresentPort>& ports, std::ostream& out) {
  std::size_t nameWidth = 4, deviceWidth = 6;  // "PORT", "DEVICE"
  for (const PresentPort& p : ports) {
    nameWidth = std::max(nameWidth, p.name.size());
    deviceWidth = std::max(deviceWidth, p.device.size());
  }
  const auto line = [&](const std::string& name, const std::string& device, const std::string& ids,
                        const std::string& description) {
    std::string text = name + std::string(nameWidth - name.size() + 2, ' ') + device +
                       std::string(deviceWidth - device.size() + 2, ' ') + ids + std::string(11 - ids.size(), ' ') +
                       description;
    out << text.substr(0, text.find_last_not_of(' ') + 1) << '\n';
  };
  line("PORT", "DEVICE", "USB ID", "DESCRIPTION");
  for (const PresentPort& p : ports) line(p.name, p.device, UsbIds(p), p.description);
}

}  // namespace

int ListPorts(const std::vector<PresentPort>& ports, std::ostream& out, std::ostream& err) {
  if (ports.empty()) {
    err << "tolvar: no serial port is present\n";
    return 0;
  }
  Table(ports, out);
  return 0;
}

std::optional<std::string> AutoPort(const std::vector<PresentPort>& ports, std::ostream& err) {
  std::vector<PresentPort> adapters;
  std::copy_if(ports.begin(), ports.end(), std::back_inserter(adapters), [](const PresentPort& p) { return p.usb(); });
  if (adapters.size() == 1) return adapters.front().name;
  if (adapters.empty()) {
    err << "tolvar: --port auto: no USB serial adapter is plugged in";
    if (ports.empty()) {
      err << ", and no other serial port is present\n";
      return std::nullopt;
    }
    err << "; the ports present:\n";
    Table(ports, err);
  } else {
    err << "tolvar: --port auto: " << adapters.size() << " USB serial adapters are plugged in; name one with --port:\n";
    Table(adapters, err);
  }
  return std::nullopt;
}
