#pragma once

class QSerialPort;

// The serial driver's low-latency mode for the time a port is open. The
// handheld answers every frame, so a driver that holds received bytes back
// (USB adapters wait up to 16 ms by default) slows every frame by that much.
//
// On Linux the mode is ASYNC_LOW_LATENCY through TIOCSSERIAL (the FTDI driver
// then passes bytes on after 1 ms). Other systems have no such call: on
// Windows the setting lives in the driver's port properties. A device without
// the mode (a pseudo-terminal, most drivers) is left as it is.
class LowLatency {
 public:
  // Switches the open `port` to low latency when it supports it and is not
  // in that mode already.
  explicit LowLatency(QSerialPort& port);
  // Puts back the setting found, before the port closes.
  ~LowLatency();
  LowLatency(const LowLatency&) = delete;
  LowLatency& operator=(const LowLatency&) = delete;

  // True when this switched the mode on.
  bool switched() const { return switched_; }

 private:
  QSerialPort& port_;
  bool switched_ = false;
};
