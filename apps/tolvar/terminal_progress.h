#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "common/handheld_layout.h"
#include "link/host.h"

// The progress of a transfer on one terminal line, redrawn in place: pages
// (NOR) or blocks (NAND) done, of how many when a repair knows its total,
// bytes per second, and the time left when the total is known. It follows the
// two progress bars: a current bar of 128 steps counts 256-byte NOR frames, one
// of 32 steps counts 528-byte NAND pages; the total bar counts pages or blocks.
// Disabled (output is not a terminal) it writes nothing.
class TerminalProgress {
 public:
  using Clock = std::chrono::steady_clock;

  TerminalProgress(std::function<void(const std::string&)> write, bool enabled)
      : write_(std::move(write)), enabled_(enabled) {}
  // On standard error, when that is a terminal.
  static TerminalProgress ForStandardError();

  // A transfer begins (counts start from zero).
  void Start(Clock::time_point now = Clock::now());
  void Range(Host::Bar bar, int minimum, int maximum);
  void Value(Host::Bar bar, int value, Clock::time_point now = Clock::now());
  // Wipes the line before other output is printed.
  void Clear();
  // A backup's own count of what it received ("已收到 123 块"), shown from now
  // on in place of the count of the frames this run moved.
  void Received(const std::string& count) { received_ = count; }

  // The line as it would be shown now.
  std::string Line(Clock::time_point now) const;

  // Shortest time between two redraws.
  std::chrono::milliseconds interval{100};

 private:
  std::function<void(const std::string&)> write_;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point firstFrame_{}, lastDrawn_{};
  int steps_ = 0;          // current bar's maximum: 128 NOR, 32 NAND
  int lastValue_ = 0;
  long long frames_ = 0;   // frames or pages moved since Start
  int total_ = 0;          // pages or blocks of a repair, 0 when unknown
  int totalDone_ = 0;
  std::string received_;

  bool Nor() const { return steps_ == wire::kNorFramesPerPage; }
  int BytesPerStep() const { return static_cast<int>(Nor() ? wire::kNorPayload : wire::kNandPayload); }
  void Draw(Clock::time_point now);
};
