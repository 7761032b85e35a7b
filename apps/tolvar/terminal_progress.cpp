#include "terminal_progress.h"

#include <cstdio>

#include "common/console.h"


TerminalProgress TerminalProgress::ForStandardError() {
  return TerminalProgress(
      [](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
      },
      IsTerminal(stderr));
}

void TerminalProgress::Start(Clock::time_point now) {
  Clear();
  firstFrame_ = now;
  lastDrawn_ = {};
  steps_ = lastValue_ = total_ = totalDone_ = 0;
  frames_ = 0;
  received_.clear();
}

void TerminalProgress::Range(Host::Bar bar, int minimum, int maximum) {
  if (bar == Host::Bar::Current) {
    steps_ = maximum - minimum;
    lastValue_ = minimum;
  } else {
    total_ = maximum - minimum;
    totalDone_ = 0;
  }
}

void TerminalProgress::Value(Host::Bar bar, int value, Clock::time_point now) {
  const long long framesBefore = frames_;
  bool moved = false;
  if (bar == Host::Bar::Total) {
    moved = value > totalDone_;
    totalDone_ = value;
  } else {
    // The bar wraps from its top to 1 at every new page or block.
    if (value > lastValue_) frames_ += value - lastValue_;
    else if (value > 0 && value < lastValue_) frames_ += value;
    lastValue_ = value;
    moved = frames_ > framesBefore;
    if (framesBefore == 0 && moved) firstFrame_ = now;
  }
  if (enabled_ && moved && steps_ > 0 && (!shown_ || now - lastDrawn_ >= interval)) Draw(now);
}

std::string TerminalProgress::Line(Clock::time_point now) const {
  const bool nor = Nor();
  const char* unit = nor ? "页" : "块";
  // The rate runs from the end of the first frame: connecting is not moving data.
  const double seconds = std::chrono::duration<double>(now - firstFrame_).count();
  const double bytes = static_cast<double>(frames_ > 0 ? frames_ - 1 : 0) * BytesPerStep();
  const double rate = seconds > 0 ? bytes / seconds : 0;
  char text[160];
  if (total_ > 0) {
    const double left = rate > 0 ? static_cast<double>(total_ - totalDone_) * steps_ * BytesPerStep() / rate : 0;
    const long whole = static_cast<long>(left + 0.5);
    std::snprintf(text, sizeof text, "%d/%d %s  %.0f 字节/秒  剩余 %ld:%02ld", totalDone_, total_, unit, rate,
                  whole / 60, whole % 60);
  } else if (!received_.empty()) {
    std::snprintf(text, sizeof text, "%s  %.0f 字节/秒", received_.c_str(), rate);
  } else {
    std::snprintf(text, sizeof text, "%lld %s  %.0f 字节/秒", steps_ > 0 ? frames_ / steps_ : 0, unit, rate);
  }
  return text;
}

void TerminalProgress::Draw(Clock::time_point now) {
  write_("\r\033[K" + Line(now));
  shown_ = true;
  lastDrawn_ = now;
}

void TerminalProgress::Clear() {
  if (!shown_) return;
  write_("\r\033[K");
  shown_ = false;
}
