#pragma once
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_io.h"

// A hex trace of everything that crosses the line, for support: wraps the
// real serial layer and appends to a file one line per burst of bytes in
// each direction, plus every speed change and every time-out, each stamped
// with the milliseconds since the port was opened.
//
//       0.000 ms  open port 1: /dev/ttyUSB0, low-latency mode
//      15.625 ms  speed 115200
//      16.100 ms  <- 08
//      16.200 ms  -> 03
//
// A trace file that cannot be written (a folder, a missing folder, a full
// disk) is said once on standard error, with the system's reason; the
// transfer goes on untraced.
class SerialTrace final : public SerialIo {
 public:
  SerialTrace(SerialIo& inner, const std::string& path);
  ~SerialTrace() override;

  // The trace asked for by the environment variable TOLVAR_TRACE, or nullptr
  // when it is not set.
  static std::unique_ptr<SerialTrace> FromEnvironment(SerialIo& inner);

  void TimeOut();
  // A line of its own, such as why the port was lost.
  void Note(const std::string& text);

  int sio_open(int port) override;
  int sio_ioctl(int port, int baud, int mode) override;
  int sio_baud(int port, long speed) override;
  int sio_flush(int port, int func) override;
  int sio_getch(int port) override;
  int sio_putch(int port, int byte) override;
  int sio_write(int port, const char* buffer, int length) override;
  int sio_close(int port) override;
  std::string LastError() const override { return inner_.LastError(); }
  bool PortLost() const override { return inner_.PortLost(); }
  void SetDevice(int port, const std::string& device) override { inner_.SetDevice(port, device); }
  std::string PortNote() const override { return inner_.PortNote(); }

 private:
  enum class Direction { None, In, Out };
  void Add(Direction direction, std::uint8_t byte);
  void Line(const std::string& text);
  void EndBurst();
  double Milliseconds() const;
  // Says once that the trace cannot be written, and stops writing it.
  void CheckWritten();

  SerialIo& inner_;
  std::string path_;
  std::ofstream out_;
  bool broken_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  Direction direction_ = Direction::None;
  double burstStart_ = 0;
  std::string burst_;
};
