#include "link/qt_serial_io.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QtGlobal>
#include <cerrno>
#include <thread>

#include "link/low_latency.h"
#include "link/port_reason.h"
#include "link/serial_device.h"

namespace {

// Above this many bytes waiting to leave, sio_putch answers "try again".
constexpr qint64 kWriteBacklog = 64 * 1024;

// A port is taken for lost after this many calls in a row failed with an
// error of a lost device: one could be a read that found nothing after all.
constexpr int kFailuresOfALostPort = 3;

}  // namespace

QtSerialIo::QtSerialIo() = default;

QtSerialIo::~QtSerialIo() {
  if (openPort_ != 0) sio_close(openPort_);
}

void QtSerialIo::SetDevice(int port, const std::string& device) {
  if (device.empty())
    devices_.erase(port);
  else
    devices_[port] = device;
}

QString QtSerialIo::DeviceOf(int port) const {
  const auto registered = devices_.find(port);
  const std::string device = registered != devices_.end() ? DeviceLocation(registered->second) : SerialDeviceName(port);
  return QString::fromStdString(device);
}

std::string QtSerialIo::PortNote() const {
  if (!serial_) return {};
  const std::string device = DeviceOf(openPort_).toStdString();
  return lowLatency_ && lowLatency_->switched() ? device + ", low-latency mode" : device;
}

bool QtSerialIo::IsOpen(int port) const {
  return openPort_ != 0 && port == openPort_ && serial_ && serial_->isOpen() && !lost_;
}

void QtSerialIo::NoteFailure(const QSerialPort& serial, const QString& device) {
  const int errorNumber = ErrnoAfterQtCall();
  PortFailure failure{serial.error(), errorNumber, serial.errorString().toStdString(), {}};
  if (failure.error == QSerialPort::PermissionError) failure.lockProblem = PortLockProblem(device.toStdString());
  lastError_ = PortReason(device.toStdString(), failure);
}

// A device that went away fails every read and write at once from then on,
// so that waiting for it would only burn the processor.
void QtSerialIo::CheckLost() {
  const QSerialPort::SerialPortError error = serial_->error();
  if (serial_->isOpen() && !IsLossError(error)) {
    failures_ = 0;
    return;
  }
  if (++failures_ < kFailuresOfALostPort && serial_->isOpen()) {
    serial_->clearError();
    return;
  }
  lost_ = true;
  NoteFailure(*serial_, DeviceOf(openPort_));
}

int QtSerialIo::sio_open(int port) {
  lastError_.clear();
  lost_ = false;
  failures_ = 0;
  if (openPort_ != 0) {
    lastError_ = "另一个串口已经打开";
    return -1;
  }
  const QString device = DeviceOf(port);
  if (device.isEmpty()) {
    lastError_ = "com" + std::to_string(port) + ": 没有这个串口 (串口号应为1到" + std::to_string(kHighestPort) + ")";
    return -1;
  }
  // Qt SerialPort would take a lock it cannot read for a stale one and delete
  // it, and would wait for ever on a pipe standing in a lock's place.
  if (const std::string problem = PortLockProblem(device.toStdString()); !problem.empty()) {
    lastError_ = PortReason(device.toStdString(), {QSerialPort::PermissionError, EBUSY, {}, problem});
    return -1;
  }
  auto serial = std::make_unique<QSerialPort>();
  serial->setPortName(device);
  errno = 0;
  if (!serial->open(QIODevice::ReadWrite)) {
    NoteFailure(*serial, device);
    return -1;
  }
  serial->setFlowControl(QSerialPort::NoFlowControl);
  // Whatever waited in the line before this task belongs to no one.
  serial->clear(QSerialPort::AllDirections);
  lowLatency_ = std::make_unique<LowLatency>(*serial);
  serial_ = std::move(serial);
  openPort_ = port;
  return 0;
}

// The one setting the programs ask for: 115200 bit/s, 8 data bits, no
// parity, 1 stop bit. Any other is refused.
int QtSerialIo::sio_ioctl(int port, int baud, int mode) {
  if (!IsOpen(port) || baud != kBaudCode115200 || mode != kMode8N1) return -1;
  if (!serial_->setBaudRate(static_cast<qint32>(kBaseBaud)) || !serial_->setDataBits(QSerialPort::Data8) ||
      !serial_->setParity(QSerialPort::NoParity) || !serial_->setStopBits(QSerialPort::OneStop) ||
      !serial_->setFlowControl(QSerialPort::NoFlowControl)) {
    NoteFailure(*serial_, DeviceOf(port));
    return -1;
  }
  return 0;
}

int QtSerialIo::sio_baud(int port, long speed) {
  if (!IsOpen(port) || speed <= 0 || speed > 0x7FFFFFFF) return -1;
  LetOutputLeave();
  return serial_->setBaudRate(static_cast<qint32>(speed)) ? 0 : -1;
}

// A new speed applies at once, also to a byte still on its way out: the
// repairs announce their first frame and switch speed right after. So the
// queue is pushed out and the last byte given time to leave the line.
void QtSerialIo::LetOutputLeave() {
  if (serial_->bytesToWrite() > 0) serial_->waitForBytesWritten(100);
  const auto sinceWrite = std::chrono::steady_clock::now() - lastWrite_;
  if (sinceWrite < kLeaveTime) std::this_thread::sleep_for(kLeaveTime - sinceWrite);
}

int QtSerialIo::sio_flush(int port, int func) {
  if (!IsOpen(port)) return -1;
  switch (func) {
    case 0: return serial_->clear(QSerialPort::Input) ? 0 : -1;
    case 1: return serial_->clear(QSerialPort::Output) ? 0 : -1;
    case 2: return serial_->clear(QSerialPort::AllDirections) ? 0 : -1;
    default: return -1;
  }
}

int QtSerialIo::sio_getch(int port) {
  if (!IsOpen(port)) return -1;
  errno = 0;  // what a failure leaves here tells why (see CheckLost)
  if (serial_->bytesAvailable() == 0) serial_->waitForReadyRead(1);
  char c;
  if (serial_->getChar(&c)) return static_cast<unsigned char>(c);
  CheckLost();
  return -1;
}

void QtSerialIo::PushOut() {
  lastWrite_ = std::chrono::steady_clock::now();
  if (serial_->bytesToWrite() > 0) serial_->flush();
}

int QtSerialIo::sio_putch(int port, int byte) {
  if (!IsOpen(port)) return -1;
  if (serial_->bytesToWrite() >= kWriteBacklog) {
    serial_->waitForBytesWritten(1);
    if (serial_->bytesToWrite() >= kWriteBacklog) return 0;
  }
  if (!serial_->putChar(static_cast<char>(byte))) {
    CheckLost();
    return 0;
  }
  PushOut();
  CheckLost();
  return lost_ ? 0 : 1;
}

int QtSerialIo::sio_write(int port, const char* buffer, int length) {
  if (!IsOpen(port) || length < 0) return -1;
  const qint64 queued = serial_->write(buffer, length);
  if (queued < 0) {
    CheckLost();
    return -1;
  }
  PushOut();
  CheckLost();
  return static_cast<int>(queued);
}

int QtSerialIo::sio_close(int port) {
  if (openPort_ == 0 || port != openPort_ || !serial_) return -1;
  // Queued bytes leave before the port closes: the format command is often
  // the last thing a repair sends.
  const QDeadlineTimer deadline(drainMilliseconds);
  while (!lost_ && serial_->isOpen() && serial_->bytesToWrite() > 0 && !deadline.hasExpired()) {
    if (!serial_->waitForBytesWritten(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)))) {
      if (serial_->error() != QSerialPort::NoError && serial_->error() != QSerialPort::TimeoutError) break;
    }
  }
  // Closing sets the line back to the settings it had before the opening, at
  // once: the last bytes (the format command) must be off the line by then.
  if (!lost_ && serial_->isOpen()) LetOutputLeave();
  lowLatency_.reset();
  serial_->close();
  serial_.reset();
  openPort_ = 0;
  lost_ = false;
  return 0;
}
