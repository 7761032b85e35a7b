#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <vector>

#include "handheld_device.h"

// The line between the computer and the handheld as a cable and a USB serial
// adapter make it, between the pseudo-terminal (whose device it is) and the
// simulated handheld (whose line it is):
//
// - Paced: every byte takes 10 bit times at the speed it is sent at, in both
//   directions, one after the other. Bytes that are due go on at least once
//   a millisecond, and the last byte waiting goes on at its time, so what
//   waits for an answer sees the line's own timing.
// - The adapter's latency timer: what the handheld sends reaches the
//   computer in bursts. A burst leaves when 62 bytes wait in the adapter or
//   `latency` has passed since its first byte.
//
// - Noise: each bit the handheld sends is flipped with the probability
//   `bitErrorRate`, independently, drawn from a generator seeded with `seed`,
//   so that a run can be repeated.
//
// A byte the handheld sends at another speed than the computer's arrives as
// 00, judged when it reaches the adapter.
class LineModel final : public HandheldDevice, public HandheldLine {
 public:
  using Clock = std::chrono::steady_clock;

  struct Settings {
    bool paced = false;
    std::chrono::microseconds latency{0};
    double bitErrorRate = 0;
    std::uint64_t seed = 1;
  };

  LineModel(HandheldDevice& handheld, Settings settings);

  // The computer's side: bytes written to it as they are, and its speed.
  std::function<void(const std::uint8_t*, std::size_t)> write;
  std::function<long()> computerSpeed;
  std::function<Clock::time_point()> now = [] { return Clock::now(); };

  // Moves what is due: bytes and speed changes to the handheld, bytes into
  // the adapter, bursts to the computer. Returns when it is due next
  // (time_point::max() when nothing waits).
  Clock::time_point Pass();

  // Gives the handheld at once what is still on its way to it (the line stops).
  void Drain() { HandOver(Clock::time_point::max()); }

  // From the computer (through the pseudo-terminal).
  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override;
  void OnSpeed(HandheldLine& line, long speed) override;
  void OnIdle(HandheldLine& line) override;
  void OnOpen(HandheldLine& line) override;
  void OnClose(HandheldLine& line) override;

  // From the handheld.
  void Send(const std::uint8_t* bytes, std::size_t count, long speed) override;
  using HandheldLine::Send;

  // What an adapter passes on at most in one burst.
  static constexpr std::size_t kBurstBytes = 62;

 private:
  struct Event {
    Clock::time_point due;
    std::uint8_t byte;
    long speed;
    bool speedChange;  // to the handheld only: the computer set `speed`
  };

  HandheldDevice& handheld_;
  Settings settings_;
  std::deque<Event> toHandheld_;
  std::deque<Event> toAdapter_;      // from the handheld, on the line
  std::vector<std::uint8_t> adapter_;
  Clock::time_point burstStart_{};
  Clock::time_point inFree_{}, outFree_{};  // when each direction of the line is free
  std::mt19937_64 random_;
  std::geometric_distribution<std::uint64_t> cleanBits_;  // bits between two flipped ones
  std::uint64_t nextFlip_ = 0;  // bits the handheld sends before the next flipped one

  std::uint8_t WithNoise(std::uint8_t byte);
  Clock::duration ByteTime(long speed) const;
  Clock::time_point Queue(std::deque<Event>& queue, Clock::time_point& free, Event event);
  // Gives the handheld what has reached it by `until`.
  void HandOver(Clock::time_point until);
  void Release();
  void Clear();
  Clock::time_point NextDue() const;
};
