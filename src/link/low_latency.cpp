#include "link/low_latency.h"

#include <QSerialPort>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

// Sets or clears the flag; false when the driver has no serial settings or refuses.
bool SetLowLatencyFlag(int fd, bool on) {
  serial_struct settings{};
  if (ioctl(fd, TIOCGSERIAL, &settings) != 0) return false;
  if (((settings.flags & ASYNC_LOW_LATENCY) != 0) == on) return false;
  settings.flags = on ? (settings.flags | ASYNC_LOW_LATENCY) : (settings.flags & ~ASYNC_LOW_LATENCY);
  return ioctl(fd, TIOCSSERIAL, &settings) == 0;
}

}  // namespace

LowLatency::LowLatency(QSerialPort& port) : port_(port) { switched_ = SetLowLatencyFlag(port_.handle(), true); }

LowLatency::~LowLatency() {
  if (switched_) SetLowLatencyFlag(port_.handle(), false);
}

#else

LowLatency::LowLatency(QSerialPort& port) : port_(port) {}

LowLatency::~LowLatency() = default;

#endif
