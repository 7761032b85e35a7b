#include "sim_port.h"

int SimPort::sio_open(int p) {
  if (p != port || failOpen || isOpen) return -1;
  isOpen = true;
  ++opens;
  speed = kBaseBaud;
  if (device_) device_->OnOpen(*this);
  return 0;
}

int SimPort::sio_ioctl(int p, int baud, int mode) {
  if (p != port || !isOpen || failIoctl || baud != kBaudCode115200 || mode != kMode8N1) return -1;
  speed = kBaseBaud;
  return 0;
}

int SimPort::sio_baud(int p, long newSpeed) {
  if (p != port || !isOpen || refusedSpeeds.count(newSpeed)) return -1;
  speed = newSpeed;
  speeds.push_back(newSpeed);
  if (device_) device_->OnSpeed(*this, newSpeed);
  return 0;
}

int SimPort::sio_flush(int p, int) {
  if (p != port || !isOpen) return -1;
  ++flushes;
  input_.clear();
  return 0;
}

int SimPort::sio_getch(int p) {
  if (p != port || !isOpen) return -1;
  ++getchCalls;
  if (onPoll) onPoll();
  if (lost) return -1;
  if (input_.empty() && device_) device_->OnIdle(*this);
  if (input_.empty()) return -1;
  const Pending next = input_.front();
  input_.pop_front();
  // A byte sent at another speed than the receiver listens at arrives garbled.
  const std::uint8_t byte = next.speed == speed ? next.byte : 0x00;
  wire.push_back({false, byte, speed});
  return byte;
}

int SimPort::sio_putch(int p, int byte) {
  if (p != port || !isOpen || lost) return -1;
  if (putchRefusals != 0) {
    if (putchRefusals > 0) --putchRefusals;
    return 0;
  }
  FromComputer(static_cast<std::uint8_t>(byte));
  return 1;
}

int SimPort::sio_write(int p, const char* buffer, int length) {
  if (p != port || !isOpen || lost) return -1;
  for (int i = 0; i < length; ++i) FromComputer(static_cast<std::uint8_t>(buffer[i]));
  return length;
}

int SimPort::sio_close(int p) {
  if (p != port || !isOpen) return -1;
  isOpen = false;
  ++closes;
  if (device_) device_->OnClose(*this);
  speed = 0;
  input_.clear();
  return 0;
}

void SimPort::Send(const std::uint8_t* bytes, std::size_t count, long sendSpeed) {
  for (std::size_t i = 0; i < count; ++i) input_.push_back({bytes[i], sendSpeed});
}

void SimPort::FromComputer(std::uint8_t byte) {
  wire.push_back({true, byte, speed});
  if (device_) device_->OnByte(*this, byte, speed);
}

std::vector<std::uint8_t> SimPort::SentByComputer() const {
  std::vector<std::uint8_t> bytes;
  for (const WireByte& w : wire)
    if (w.toHandheld) bytes.push_back(w.byte);
  return bytes;
}
