#include "link/module1.h"

#include <algorithm>
#include <optional>

#include "common/models.h"

void Module1::TimedOut() {
  TimeoutFlag = true;
  if (trace_) trace_->TimeOut();
}

void Module1::NoteLost() {
  PortLost = true;
  if (trace_) trace_->Note("port lost: " + io_.LastError());
}

std::string Module1::LostPortText() const {
  const std::string reason = io_.LastError();
  return reason.empty() ? "串口已断开!" : "串口已断开!\r\n" + reason;
}

void Module1::YieldAfterPoll(bool gotByte) {
  // Reading the clock costs more than taking a byte that is there: while
  // bytes keep coming it is looked at only every kBytesPerClockLook of them.
  if (gotByte && eventInterval.count() > 0 && ++bytesSinceClockLook_ < kBytesPerClockLook) return;
  bytesSinceClockLook_ = 0;
  const auto now = std::chrono::steady_clock::now();
  if (!gotByte || now - lastEvents_ >= eventInterval) {
    host.ProcessEvents();
    lastEvents_ = now;
  }
}

std::uint8_t Module1::ReceiveByte() {
  TimeoutFlag = false;
  // The ticks are counted from the first poll that finds nothing: a byte that
  // is there already needs no clock.
  std::optional<TickCounter> ticks;
  for (;;) {
    if (ticks && ticks->Update() >= kReceiveTicks) {
      TimedOut();
      return 0;
    }
    const int value = PollByte();
    if (CancelFlag) return 0;  // a byte read by this poll is dropped
    if (PortLost) {
      TimeoutFlag = true;
      return 0;
    }
    YieldAfterPoll(value >= 0);
    if (value >= 0) return static_cast<std::uint8_t>(value);
    if (!ticks) ticks.emplace(clock);
  }
}

bool Module1::SendByte(std::uint8_t byte) {
  TickCounter ticks(clock);
  for (;;) {
    PortResult = io_.sio_putch(ComPort, byte);
    if (PortResult == 1) return true;
    if (io_.PortLost()) {
      if (!PortLost) NoteLost();
      TimeoutFlag = true;
      return false;
    }
    if (ticks.Update() >= kReceiveTicks) {
      TimedOut();
      return false;
    }
  }
}

bool Module1::OpenPort() {
  SpeedSwitched = false;
  PortLost = false;
  PortResult = io_.sio_open(ComPort);
  if (PortResult == 0) {
    PortResult = io_.sio_ioctl(ComPort, kBaudCode115200, kMode8N1);
    if (PortResult == 0) return true;
  }
  host.ShowWithReason("串口打开失败!", io_.LastError());
  return false;
}

void Module1::ClosePort() { io_.sio_close(ComPort); }

bool Module1::SwitchToModelSpeed() {
  ModelBaud = static_cast<int>(ModelSpeed(host.ModelText()));
  PortResult = io_.sio_baud(ComPort, ModelBaud);
  SpeedSwitched = true;
  return PortResult == 0;
}

void Module1::SetBaseSpeed() { PortResult = io_.sio_baud(ComPort, kBaseBaud); }

void Module1::SendFormatCommand() {
  std::fill_n(TransferBuffer.begin(), wire::kHeaderSize, 0);
  TransferBuffer[0] = wire::kEndFrame;
  wire::SealHeader(TransferBuffer.data());
  WriteFrame(wire::kHeaderSize);
}

void Module1::WriteFrame(std::size_t size) {
  PortResult = io_.sio_write(ComPort, reinterpret_cast<const char*>(TransferBuffer.data()), static_cast<int>(size));
}

void Module1::FlushPort() { PortResult = io_.sio_flush(ComPort, 2); }
