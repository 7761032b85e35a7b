#pragma once
#include <cstdint>
#include <string>

// The serial library the transfers talk through. Every call takes the port
// number first and answers a 32-bit result; the transfers rely on these:
//   sio_open   0 = port opened
//   sio_ioctl  0 = line set (called with baud code 16 and mode 3: 115200 bit/s, 8N1)
//   sio_baud   0 = speed set (0 bit/s is refused)
//   sio_flush  called with 2: empty the input and the output buffer
//   sio_getch  0..255 = a received byte; negative = no byte now (never blocks for long)
//   sio_putch  1 = byte queued; anything else = try again
//   sio_write  number of bytes queued (stored, not tested)
//   sio_close  ignored
class SerialIo {
 public:
  virtual ~SerialIo() = default;
  virtual int sio_open(int port) = 0;
  virtual int sio_ioctl(int port, int baud, int mode) = 0;
  virtual int sio_baud(int port, long speed) = 0;
  virtual int sio_flush(int port, int func) = 0;
  virtual int sio_getch(int port) = 0;
  virtual int sio_putch(int port, int byte) = 0;
  virtual int sio_write(int port, const char* buffer, int length) = 0;
  virtual int sio_close(int port) = 0;

  // Why sio_open or sio_ioctl failed last, or why the port was lost, for the
  // user who has to fix a permission, a busy port or a cable: "DEVICE: 中文
  // (system text)". Empty when unknown.
  virtual std::string LastError() const { return {}; }

  // True once the open port's device has gone away (a USB adapter pulled
  // out, the other end of a pseudo-terminal closed): nothing will cross the
  // line again until the port is closed and opened anew. LastError says why.
  virtual bool PortLost() const { return false; }

  // Lets `port` stand for a device named by the user (a path or a system
  // name, UTF-8); an empty name gives the port its usual device back. A layer
  // without device names ignores it.
  virtual void SetDevice(int /*port*/, const std::string& /*device*/) {}

  // What the open port is beyond the sio_* calls (its device, a driver
  // setting made for the transfer), for the support trace. Empty when closed.
  virtual std::string PortNote() const { return {}; }
};

// sio_ioctl arguments used by OpenPort.
inline constexpr int kBaudCode115200 = 16;
inline constexpr int kMode8N1 = 3;
inline constexpr long kBaseBaud = 115200;

// Highest port number a "comN" text can name; above it a port is unknown.
inline constexpr int kHighestPort = 256;
// The port number that stands for a device chosen by its name.
inline constexpr int kNamedPort = kHighestPort + 1;
