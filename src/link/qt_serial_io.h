#pragma once
#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "link/serial_io.h"

class LowLatency;
class QSerialPort;

// The serial library on Qt SerialPort. One port is open at a time.
//
// Port numbers name devices as SerialDeviceName says ("COMN" on Windows). A
// device registered with SetDevice takes the place of that mapping for its
// port number. Outside Windows a device name with a slash is a path, opened
// as given; a bare name is a device in /dev.
//
// The line is raw: 8 data bits, no parity, 1 stop bit, no flow control, no
// echo, no translation of CR or LF. While the port is open its driver is in
// low-latency mode where it has one (see LowLatency).
//
// Qt SerialPort moves bytes only while events are processed or inside its
// waitFor... calls, so sio_getch waits up to about a millisecond for a byte
// when none is buffered, and the writes push their bytes out at once.
//
// A device that goes away while open (see PortLost) makes every call fail at
// once until the port is closed; sio_close then closes what is left of it.
class QtSerialIo final : public SerialIo {
 public:
  QtSerialIo();
  ~QtSerialIo() override;

  // Use `device` for `port` instead of the usual mapping (an empty name removes it).
  void SetDevice(int port, const std::string& device) override;
  // The device a port number stands for, as the system names it
  // ("/dev/ttyS0", "COM12"); empty for port 0 and unknown ports.
  QString DeviceOf(int port) const;

  int sio_open(int port) override;
  int sio_ioctl(int port, int baud, int mode) override;
  int sio_baud(int port, long speed) override;
  int sio_flush(int port, int func) override;
  int sio_getch(int port) override;
  int sio_putch(int port, int byte) override;
  int sio_write(int port, const char* buffer, int length) override;
  int sio_close(int port) override;
  std::string LastError() const override { return lastError_; }
  bool PortLost() const override { return lost_; }
  std::string PortNote() const override;

  // Longest time sio_close waits for queued bytes to leave.
  int drainMilliseconds = 3000;

 private:
  bool IsOpen(int port) const;
  void NoteFailure(const QSerialPort& serial, const QString& device);
  void CheckLost();
  void PushOut();
  void LetOutputLeave();

  // How long the last byte written may still be on the line.
  static constexpr std::chrono::milliseconds kLeaveTime{5};
  std::chrono::steady_clock::time_point lastWrite_{};

  std::map<int, std::string> devices_;
  std::unique_ptr<QSerialPort> serial_;
  std::unique_ptr<LowLatency> lowLatency_;
  int openPort_ = 0;
  std::string lastError_;
  bool lost_ = false;
  int failures_ = 0;  // calls in a row that failed as on a lost device
};
