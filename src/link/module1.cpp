#include "link/module1.h"

#include <algorithm>
#include <optional>

int BaudOfModel(const std::string& modelText) {
  if (modelText == "NC3000") return 921600;
  if (modelText == "2000系列") return 230400;
  return 0;
}

void Module1::TimedOut() {
  TimeoutFlag = true;
  if (trace_) trace_->TimeOut();
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
    const int value = io.sio_getch(ComPort);
    if (CancelFlag) return 0;  // a byte read by this poll is dropped
    YieldAfterPoll(value >= 0);
    if (value >= 0) return static_cast<std::uint8_t>(value);
    if (!ticks) ticks.emplace(clock);
  }
}

bool Module1::SendByte(std::uint8_t byte) {
  TickCounter ticks(clock);
  for (;;) {
    PortResult = io.sio_putch(ComPort, byte);
    if (PortResult == 1) return true;
    if (ticks.Update() >= kReceiveTicks) {
      TimedOut();
      return false;
    }
  }
}

bool Module1::OpenPort() {
  SpeedSwitched = false;
  PortResult = io.sio_open(ComPort);
  if (PortResult == 0) {
    PortResult = io.sio_ioctl(ComPort, kBaudCode115200, kMode8N1);
    if (PortResult == 0) return true;
  }
  host.ShowPortFailure("串口打开失败!", io.LastError());
  return false;
}

void Module1::ClosePort() { io.sio_close(ComPort); }

bool Module1::SwitchToModelSpeed() {
  ModelBaud = BaudOfModel(host.ModelText());
  PortResult = io.sio_baud(ComPort, ModelBaud);
  SpeedSwitched = true;
  return PortResult == 0;
}

void Module1::SetBaseSpeed() { PortResult = io.sio_baud(ComPort, kBaseBaud); }

void Module1::SendFormatCommand() {
  std::fill_n(TransferBuffer.begin(), wire::kHeaderSize, 0);
  TransferBuffer[0] = wire::kEndFrame;
  wire::SealHeader(TransferBuffer.data());
  PortResult = io.sio_write(ComPort, reinterpret_cast<const char*>(TransferBuffer.data()), wire::kHeaderSize);
}

void Module1::FlushPort() { PortResult = io.sio_flush(ComPort, 2); }
