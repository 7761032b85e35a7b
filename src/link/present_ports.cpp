#include "link/present_ports.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <tuple>

namespace {

PresentPort PortOf(const QSerialPortInfo& info) {
  PresentPort port;
#ifdef Q_OS_WIN
  port.device = info.portName().toStdString();
  // "COM12" is listed and typed as "com12", like the window's own entries.
  port.name = PortNumberOfText(port.device) > 0 ? info.portName().toLower().toStdString() : port.device;
#else
  port.device = info.systemLocation().toStdString();
  port.name = port.device;
#endif
  port.description = info.description().trimmed().toStdString();
  if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
    port.vendorId = info.vendorIdentifier();
    port.productId = info.productIdentifier();
  }
  return port;
}

}  // namespace

std::vector<PresentPort> PresentPorts() {
  std::vector<PresentPort> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) ports.push_back(PortOf(info));
  std::sort(ports.begin(), ports.end(), [](const PresentPort& a, const PresentPort& b) {
    const int na = PortNumberOfText(a.name), nb = PortNumberOfText(b.name);
    // Numbered ports first (0 sorts last), then by name.
    return std::make_tuple(na == 0, na, a.name) < std::make_tuple(nb == 0, nb, b.name);
  });
  return ports;
}
