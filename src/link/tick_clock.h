#pragma once

// The time-of-day clock behind every serial time-out: seconds since midnight,
// changing in steps of 1/64 s like the usual 15.6 ms system tick. Waits count
// how often the reading changes ("ticks"); they never measure durations.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual double Timer() = 0;
};

class SystemTickClock final : public TickClock {
 public:
  double Timer() override;
};

// Counts the ticks of one wait: each time the clock reading differs from the
// one seen last, the count goes up by one.
class TickCounter {
 public:
  explicit TickCounter(TickClock& clock) : clock_(clock), last_(clock.Timer()) {}
  // Reads the clock once; returns the number of ticks counted so far.
  int Update() {
    if (clock_.Timer() != last_) {
      last_ = clock_.Timer();
      ++count_;
    }
    return count_;
  }
  int Count() const { return count_; }

 private:
  TickClock& clock_;
  double last_;
  int count_ = 0;
};
