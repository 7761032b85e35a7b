#include "terminal_progress.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using Clock = TerminalProgress::Clock;

struct Screen {
  std::string written;
  TerminalProgress progress{[this](const std::string& text) { written += text; }, true};
};

TEST(TerminalProgress, NandBackupCountsBlocksThroughTheWrapAndShowsTheRate) {
  Screen s;
  const Clock::time_point t0{};
  s.progress.Start(t0);
  s.progress.Range(Host::Bar::Current, 0, 32);
  // Two whole blocks and 3 pages, one page every millisecond: 67 pages of 528 bytes.
  for (int page = 1; page <= 67; ++page) s.progress.Value(Host::Bar::Current, (page - 1) % 32 + 1, t0 + page * 1ms);
  EXPECT_EQ(s.progress.Line(t0 + 67ms), "2 块  528000 字节/秒");
  // Redrawn in place, not once per page.
  EXPECT_EQ(s.written.rfind("\r\033[K", 0), 0u);
  EXPECT_LE(std::count(s.written.begin(), s.written.end(), '\r'), 2);
  s.progress.Clear();
  EXPECT_EQ(s.written.substr(s.written.size() - 4), "\r\033[K");
}

TEST(TerminalProgress, RepairKnowsItsTotalAndTheTimeLeft) {
  Screen s;
  const Clock::time_point t0{};
  s.progress.Start(t0);
  s.progress.Range(Host::Bar::Total, 0, 8);  // NOR pages
  s.progress.Range(Host::Bar::Current, 0, 128);
  // Pages 00 and 01 skipped, then page 02 sent in 1 s: 32768 bytes/s.
  s.progress.Value(Host::Bar::Total, 2, t0);
  for (int frame = 1; frame <= 129; ++frame) s.progress.Value(Host::Bar::Current, (frame - 1) % 128 + 1, t0 + frame * 1s / 128);
  s.progress.Value(Host::Bar::Total, 3, t0 + 1s);
  EXPECT_EQ(s.progress.Line(t0 + 129 * 1s / 128), "3/8 页  32768 字节/秒  剩余 0:05");
}

TEST(TerminalProgress, WritesNothingWhenNotOnATerminal) {
  std::string written;
  TerminalProgress progress([&](const std::string& text) { written += text; }, false);
  progress.Start();
  progress.Range(Host::Bar::Current, 0, 32);
  for (int page = 1; page <= 32; ++page) progress.Value(Host::Bar::Current, page);
  progress.Clear();
  EXPECT_TRUE(written.empty());
}

}  // namespace
