#include "pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

long RateOf(speed_t code) {
  switch (code) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B576000: return 576000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    case B1500000: return 1500000;
    case B2000000: return 2000000;
    default: return 0;
  }
}

}  // namespace

PtyLine::PtyLine(HandheldDevice& device) : device_(device) {
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    error_ = std::string("openpty: ") + std::strerror(errno);
    return;
  }
  slavePath_ = name;
  // The handheld keeps no end of the slave open: the computer's opening and
  // closing it then show on the master as the hang-up state going away and
  // coming back.
  ::close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  master_ = master;
  SetIdleSettings();
  lastSpeed_ = ComputerSpeed();
}

PtyLine::~PtyLine() {
  Stop();
  if (master_ >= 0) ::close(master_);
}

void PtyLine::SetIdleSettings() {
  termios t{};
  if (tcgetattr(master_, &t) != 0) return;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  tcsetattr(master_, TCSANOW, &t);
}

long PtyLine::ComputerSpeed() const {
  termios t{};
  if (master_ < 0 || tcgetattr(master_, &t) != 0) return 0;
  return RateOf(cfgetospeed(&t));
}

void PtyLine::Start() {
  if (thread_.joinable() || !Ok()) return;
  stopThread_ = false;
  thread_ = std::thread([this] { Run(stopThread_); });
}

void PtyLine::Stop() {
  if (!thread_.joinable()) return;
  stopThread_ = true;
  thread_.join();
}

void PtyLine::NoticeOpenState(bool hangup) {
  if (!hangup && !computerOpen_) {
    computerOpen_ = true;
    ++opens;
    device_.OnOpen(*this);
  } else if (hangup && computerOpen_) {
    computerOpen_ = false;
    ++closes;
    SetIdleSettings();
    lastSpeed_ = ComputerSpeed();
    device_.OnClose(*this);
  }
}

void PtyLine::NoticeSpeed() {
  const long speed = ComputerSpeed();
  if (speed == lastSpeed_) return;
  lastSpeed_ = speed;
  device_.OnSpeed(*this, speed);
}

long PtyLine::SpeedOfByte(long before) const {
  if (before == lastSpeed_ || !deviceListensAt) return lastSpeed_;
  // The speed changed while these bytes came: they were written at one of
  // the two speeds and nothing tells which. The device gets the benefit of
  // the doubt.
  const long listening = deviceListensAt();
  return listening == before ? before : lastSpeed_;
}

void PtyLine::Run(const std::atomic<bool>& stop) {
  if (!Ok()) return;
  stop_ = &stop;
  std::vector<std::uint8_t> buffer(4096);
  while (!stop) {
    auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(idlePoll);
    if (onPass) {
      const auto wanted = onPass();
      if (wanted != std::chrono::steady_clock::time_point::max())
        wait = std::clamp<std::chrono::nanoseconds>(wanted - std::chrono::steady_clock::now(), {}, wait);
    }
    pollfd p{master_, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000), static_cast<long>(wait.count() % 1'000'000'000)};
    const int ready = ppoll(&p, 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) break;
    const bool hangup = (p.revents & (POLLHUP | POLLERR)) != 0;
    if (!hangup) NoticeOpenState(false);
    const long before = lastSpeed_;
    if (computerOpen_) NoticeSpeed();
    // Read even when the poll saw nothing: a byte may have come between the
    // poll and the look at the speed, and must be judged with that look.
    const bool gotBytes = DeliverWaitingBytes(buffer, before);
    if (hangup) {
      if (gotBytes) continue;  // the computer's last bytes come before its closing
      NoticeOpenState(true);
      std::this_thread::sleep_for(idlePoll);  // a hung-up master polls ready at once
      continue;
    }
    if (!gotBytes) device_.OnIdle(*this);
  }
  // What the computer wrote before the stop still reaches the device, so that
  // its last frame or command is not lost to the moment of stopping.
  while (DeliverWaitingBytes(buffer, lastSpeed_)) {
  }
  stop_ = nullptr;
}

bool PtyLine::DeliverWaitingBytes(std::vector<std::uint8_t>& buffer, long speedBefore) {
  const ssize_t n = ::read(master_, buffer.data(), buffer.size());
  for (ssize_t i = 0; i < n; ++i) {
    ++bytesFromComputer;
    device_.OnByte(*this, buffer[static_cast<std::size_t>(i)], SpeedOfByte(speedBefore));
  }
  return n > 0;
}

void PtyLine::Send(const std::uint8_t* bytes, std::size_t count, long speed) {
  if (!computerOpen_ || count == 0) return;
  std::vector<std::uint8_t> garbled;
  if (speed != ComputerSpeed()) {
    garbled.assign(count, 0x00);
    bytes = garbled.data();
    bytesGarbled += static_cast<long long>(count);
  }
  Write(bytes, count);
}

void PtyLine::Write(const std::uint8_t* bytes, std::size_t count) {
  if (!computerOpen_ || count == 0) return;
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(master_, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // the computer went away
    if (stop_ && *stop_) return;
    pollfd p{master_, POLLOUT, 0};
    poll(&p, 1, 10);
    if (p.revents & POLLHUP) return;
  }
  bytesToComputer += static_cast<long long>(count);
}
