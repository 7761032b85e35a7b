#include "link/tick_clock.h"

#include <chrono>

double SystemTickClock::Timer() {
  using namespace std::chrono;
  // Seconds since midnight (UTC), in steps of 1/64 s. Across midnight the
  // reading merely changes once more, which counts as one tick like any other.
  const auto sixtyFourths = duration_cast<duration<long long, std::ratio<1, 64>>>(system_clock::now().time_since_epoch());
  return static_cast<double>(sixtyFourths.count() % (86400LL * 64)) / 64.0;
}
