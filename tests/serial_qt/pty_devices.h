#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "handheld_device.h"
#include "pty_line.h"

// A handheld that records what the computer sends and can echo it back.
// Runs on the pty's thread; tests read it through the lock.
class RecordingDevice final : public HandheldDevice {
 public:
  bool echo = false;
  std::chrono::milliseconds stallOnFirstByte{0};  // keeps the line unread for a while

  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override {
    if (received().empty() && stallOnFirstByte.count() > 0) std::this_thread::sleep_for(stallOnFirstByte);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      bytes_.push_back(byte);
    }
    if (echo) line.Send(byte, speed);
  }
  void OnSpeed(HandheldLine&, long speed) override {
    std::lock_guard<std::mutex> lock(mutex_);
    speeds_.push_back(speed);
  }

  std::vector<std::uint8_t> received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
  }
  std::vector<long> speeds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return speeds_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> bytes_;
  std::vector<long> speeds_;
};

// Polls `done` until it holds or `limit` passes; true when it held.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
