// The backup receiver fed whatever the handheld's side might send. The input
// after its first byte arrives through the simulated port one byte per poll,
// at whatever speed the computer listens at. The first byte picks the NOR
// (even) or NAND (odd) backup, and whether the input ends in silence or in
// the user's cancel (bit 1). Every question is answered Yes while input is
// left, so restarts are reached too, and No after. The outcome: the ending,
// what was said, and the files left (the image, and no temporary file).
#include "backup/backup.h"
#include "fuzz_target.h"
#include "sim_port.h"
#include "support/fake_clock.h"
#include "support/null_host.h"

namespace {

class StreamDevice final : public HandheldDevice {
 public:
  StreamDevice(const SimPort& port, const std::uint8_t* data, std::size_t size)
      : port_(port), data_(data), size_(size) {}
  void OnByte(HandheldLine&, std::uint8_t, long) override {}
  void OnIdle(HandheldLine& line) override {
    if (next_ < size_) line.Send(data_[next_++], port_.speed);
  }
  bool Exhausted() const { return next_ >= size_; }

 private:
  const SimPort& port_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_ = 0;
};

}  // namespace

std::vector<std::string> FuzzOutcome(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  const bool nand = data[0] & 1, cancelAtEnd = data[0] & 2;
  SimPort port;
  StreamDevice device(port, data + 1, size - 1);
  port.Attach(&device);
  FakeClock clock;
  NullHost host;
  host.answer = [&device] { return !device.Exhausted(); };
  Module1 m(port, clock, host);
  m.ComPort = 1;
  m.eventInterval = std::chrono::microseconds(0);
  m.ImagePath = (ScratchFolder() / "image").string();
  if (cancelAtEnd) port.onPoll = [&] { m.CancelFlag = m.CancelFlag || device.Exhausted(); };
  const BackupEnding ending = nand ? SaveNand(m) : SaveNor(m);
  const char* const kEndings[] = {"Success", "Cancel",     "TimeoutBeforeFile", "Timeout",       "Error",
                                  "SpeedError", "PortFailed", "PortLost",          "TargetRefused", "ReplaceFailed"};
  std::vector<std::string> lines = {std::string("ending ") + kEndings[static_cast<int>(ending)]};
  AddSaid(lines, "said ", host.said);
  AddFilesAndClear(lines);
  return lines;
}
