#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "handheld_device.h"

// A pseudo-terminal with the simulated handheld on its master side. The
// computer opens the slave side (SlavePath) like any serial device.
//
// The line learns what a real handheld would notice: the computer opening
// and closing the device, and the speed the computer set (Linux lets the
// master read the slave's settings). A byte sent at one speed while the other
// side listens at another arrives as 00, as on a real line. Over a pty only
// changes of the speed can be seen, so OnSpeed follows changes alone, and a
// byte that crosses the line while the speed changes has no certain speed
// (see deviceListensAt). When the computer closes the device the line sets
// the speed back to 9600 bit/s, so that the next opening at 115200 bit/s is a
// change again.
class PtyLine final : public HandheldLine {
 public:
  explicit PtyLine(HandheldDevice& device);
  ~PtyLine() override;
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& Error() const { return error_; }
  // The device node the computer opens (/dev/pts/N).
  const std::string& SlavePath() const { return slavePath_; }

  // Plays the device on this thread until `stop` becomes true.
  void Run(const std::atomic<bool>& stop);
  // Plays it on a thread of its own until Stop.
  void Start();
  void Stop();

  // Bytes to the computer. Dropped while the computer has the device closed;
  // sent as 00 when `speed` is not the computer's speed.
  void Send(const std::uint8_t* bytes, std::size_t count, long speed) override;
  using HandheldLine::Send;
  // Bytes to the computer as they are, whatever its speed.
  void Write(const std::uint8_t* bytes, std::size_t count);

  // The computer's speed as set on the slave (0 when it is not a known rate).
  long ComputerSpeed() const;
  bool ComputerHasOpen() const { return computerOpen_; }

  // Runs on the line's thread once per pass of its loop (about every
  // `idlePoll` while the line is quiet); programs check their signals here.
  // Returns when the next pass is wanted at the latest (time_point::max()
  // when `idlePoll` will do).
  std::function<std::chrono::steady_clock::time_point()> onPass;
  // The speed the device listens at, when it can say. Bytes that came while
  // the computer changed its speed are given to the device at that speed if
  // it is one of the two; without it they count as sent at the new speed.
  std::function<long()> deviceListensAt;
  std::chrono::milliseconds idlePoll{2};

  std::atomic<long long> bytesFromComputer{0};
  std::atomic<long long> bytesToComputer{0};
  std::atomic<long long> bytesGarbled{0};
  std::atomic<int> opens{0};
  std::atomic<int> closes{0};

 private:
  HandheldDevice& device_;
  int master_ = -1;
  std::string slavePath_;
  std::string error_;
  std::atomic<bool> computerOpen_{false};
  long lastSpeed_ = 0;
  std::thread thread_;
  std::atomic<bool> stopThread_{false};
  const std::atomic<bool>* stop_ = nullptr;

  void SetIdleSettings();
  void NoticeOpenState(bool hangup);
  void NoticeSpeed();
  long SpeedOfByte(long before) const;
  // Reads what the computer wrote and hands it to the device; false when nothing waited.
  bool DeliverWaitingBytes(std::vector<std::uint8_t>& buffer, long speedBefore);
};
