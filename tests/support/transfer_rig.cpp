#include "support/transfer_rig.h"

#include <algorithm>

std::vector<std::pair<std::uint8_t, long>> TransferRig::Sent() const {
  std::vector<std::pair<std::uint8_t, long>> sent;
  for (const auto& w : port.wire)
    if (w.toHandheld) sent.emplace_back(w.byte, w.speed);
  return sent;
}

bool TransferRig::OnlyBaseSpeed() const {
  return std::all_of(port.speeds.begin(), port.speeds.end(), [](long s) { return s == kBaseBaud; }) &&
         std::all_of(port.wire.begin(), port.wire.end(), [](const SimPort::WireByte& w) { return w.speed == kBaseBaud; });
}
