#pragma once
#include "link/tick_clock.h"

// A clock whose reading changes on every look: each poll of a wait counts as
// one tick, so a 200-tick time-out passes in 200 polls.
class FakeClock final : public TickClock {
 public:
  double Timer() override { return (reads_++) / 64.0; }
  long reads() const { return reads_; }

 private:
  long reads_ = 0;
};
