#include "link/serial_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/file_exists.h"
#include "common/system_reason.h"

SerialTrace::SerialTrace(SerialIo& inner, const std::string& path) : inner_(inner), path_(path) {
  errno = 0;
  out_.open(PathFromUtf8(path), std::ios::binary | std::ios::app);
  // Windows answers "permission denied" for a folder: name it a folder everywhere.
  std::error_code ec;
  if (!out_.is_open() && std::filesystem::is_directory(PathFromUtf8(path), ec)) errno = EISDIR;
  CheckWritten();
}

void SerialTrace::CheckWritten() {
  if (broken_ || (out_.is_open() && out_.good())) return;
  const int code = errno;
  broken_ = true;
  std::fprintf(stderr, "Tolvar: 无法写入串口跟踪文件 %s: %s\n", path_.c_str(),
               code != 0 ? SystemReason(code).c_str() : "写入失败");
}

SerialTrace::~SerialTrace() { EndBurst(); }

std::unique_ptr<SerialTrace> SerialTrace::FromEnvironment(SerialIo& inner) {
  const char* path = std::getenv("TOLVAR_TRACE");
  if (!path || !*path) return nullptr;
  return std::make_unique<SerialTrace>(inner, path);
}

double SerialTrace::Milliseconds() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
}

void SerialTrace::Line(const std::string& text) {
  if (broken_) return;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%12.3f ms  ", Milliseconds());
  errno = 0;
  out_ << stamp << text << '\n';
  CheckWritten();
}

void SerialTrace::EndBurst() {
  if (direction_ == Direction::None) return;
  if (!broken_) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%12.3f ms  ", burstStart_);
    errno = 0;
    out_ << stamp << (direction_ == Direction::In ? "<-" : "->") << burst_ << '\n';
    out_.flush();
    CheckWritten();
  }
  burst_.clear();
  direction_ = Direction::None;
}

void SerialTrace::Add(Direction direction, std::uint8_t byte) {
  if (broken_) return;
  if (direction != direction_) {
    EndBurst();
    direction_ = direction;
    burstStart_ = Milliseconds();
  }
  static const char kDigits[] = "0123456789ABCDEF";
  const char text[3] = {' ', kDigits[byte >> 4], kDigits[byte & 15]};
  burst_.append(text, 3);
}

void SerialTrace::TimeOut() { Note("time-out"); }

void SerialTrace::Note(const std::string& text) {
  EndBurst();
  Line(text);
}

int SerialTrace::sio_open(int port) {
  start_ = std::chrono::steady_clock::now();
  const int result = inner_.sio_open(port);
  const std::string note = result == 0 ? inner_.PortNote() : std::string();
  Line("open port " + std::to_string(port) + (result != 0 ? " failed: " + inner_.LastError()
                                              : note.empty() ? std::string() : ": " + note));
  return result;
}

int SerialTrace::sio_ioctl(int port, int baud, int mode) { return inner_.sio_ioctl(port, baud, mode); }

int SerialTrace::sio_baud(int port, long speed) {
  EndBurst();
  const int result = inner_.sio_baud(port, speed);
  Line("speed " + std::to_string(speed) + (result == 0 ? "" : " refused"));
  return result;
}

int SerialTrace::sio_flush(int port, int func) {
  EndBurst();
  Line("flush");
  return inner_.sio_flush(port, func);
}

int SerialTrace::sio_getch(int port) {
  const int result = inner_.sio_getch(port);
  if (result >= 0) Add(Direction::In, static_cast<std::uint8_t>(result));
  return result;
}

int SerialTrace::sio_putch(int port, int byte) {
  const int result = inner_.sio_putch(port, byte);
  if (result == 1) Add(Direction::Out, static_cast<std::uint8_t>(byte));
  return result;
}

int SerialTrace::sio_write(int port, const char* buffer, int length) {
  for (int i = 0; i < length; ++i) Add(Direction::Out, static_cast<std::uint8_t>(buffer[i]));
  return inner_.sio_write(port, buffer, length);
}

int SerialTrace::sio_close(int port) {
  EndBurst();
  Line("close");
  errno = 0;
  out_.flush();
  CheckWritten();
  return inner_.sio_close(port);
}
