// The paced line and the adapter's latency timer of handheld-sim, on a clock
// the test moves: every byte is timed, nothing arrives before its time, and
// bursts leave as a USB serial adapter lets them.
#include "line_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = LineModel::Clock;

constexpr long kFast = 921600;
constexpr auto kByteAtFast = 10850ns;  // 10 bits at 921600 bit/s

// A handheld that notes what reaches it and may answer every byte.
class NotingHandheld final : public HandheldDevice {
 public:
  struct Seen {
    Clock::time_point when;
    int byte;  // -1 for a speed change
    long speed;
  };
  std::vector<Seen> seen;
  std::function<Clock::time_point()> now;
  bool echo = false;
  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override {
    seen.push_back({now(), byte, speed});
    if (echo) line.Send(byte, speed);
  }
  void OnSpeed(HandheldLine&, long speed) override { seen.push_back({now(), -1, speed}); }
};

struct LineModelTest : ::testing::Test {
  struct Burst {
    Clock::time_point when;
    std::vector<std::uint8_t> bytes;
  };
  Clock::time_point t0 = Clock::time_point{} + 1h, time = t0;
  NotingHandheld handheld;
  std::vector<Burst> bursts;
  long computerSpeed = kFast;
  std::unique_ptr<LineModel> line;

  void Make(LineModel::Settings settings) {
    line = std::make_unique<LineModel>(handheld, settings);
    line->now = handheld.now = [this] { return time; };
    line->computerSpeed = [this] { return computerSpeed; };
    line->write = [this](const std::uint8_t* b, std::size_t n) { bursts.push_back({time, {b, b + n}}); };
    line->OnOpen(*line);
  }
  // Passes whenever the line asks to, until nothing waits.
  void RunUntilQuiet() {
    for (Clock::time_point next; (next = line->Pass()) != Clock::time_point::max();) time = std::max(time, next);
  }
  std::size_t Delivered() const {
    std::size_t n = 0;
    for (const Burst& b : bursts) n += b.bytes.size();
    return n;
  }
};

TEST_F(LineModelTest, PacedBytesNeverArriveEarlyAndTheLastArrivesOnTime) {
  Make({true, 0ms});
  std::vector<std::uint8_t> frame(536);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
  line->Send(frame.data(), frame.size(), kFast);
  RunUntilQuiet();

  std::size_t before = 0;
  for (const Burst& b : bursts) {
    before += b.bytes.size();
    EXPECT_GE(b.when - t0, before * kByteAtFast) << "byte " << before << " came early";
  }
  ASSERT_EQ(Delivered(), frame.size());
  EXPECT_EQ(bursts.back().when - t0, frame.size() * kByteAtFast);
  EXPECT_GT(bursts.size(), 3u) << "bytes go on while the frame is still on the line";
  EXPECT_EQ(bursts.front().bytes[0], 0);
}

TEST_F(LineModelTest, AdapterSendsFullBurstsAtOnceAndTheRestAfterItsLatency) {
  Make({true, 16ms});
  std::vector<std::uint8_t> bytes(100, 0x5A);
  line->Send(bytes.data(), bytes.size(), kFast);
  RunUntilQuiet();
  ASSERT_EQ(bursts.size(), 2u);
  EXPECT_EQ(bursts[0].bytes.size(), LineModel::kBurstBytes);
  EXPECT_EQ(bursts[0].when - t0, 62 * kByteAtFast) << "a full burst leaves with its 62nd byte";
  EXPECT_EQ(bursts[1].bytes.size(), 38u);
  EXPECT_EQ(bursts[1].when - t0, 63 * kByteAtFast + 16ms) << "the rest leaves 16 ms after its first byte";

  // A single answer waits for the whole latency; one sent at another speed arrives as 00.
  bursts.clear();
  const Clock::time_point sent = time;
  line->Send(0x06, 230400);
  RunUntilQuiet();
  ASSERT_EQ(bursts.size(), 1u);
  EXPECT_EQ(bursts[0].bytes, std::vector<std::uint8_t>{0x00});
  EXPECT_EQ(bursts[0].when - sent, 43402ns + 16ms);
}

TEST_F(LineModelTest, ComputerBytesReachTheHandheldPacedAndInOrderWithSpeedChanges) {
  Make({true, 1ms});
  handheld.echo = true;
  computerSpeed = 115200;
  line->OnByte(*line, 0xAA, 115200);
  line->OnSpeed(*line, kFast);
  line->OnByte(*line, 0x06, kFast);
  RunUntilQuiet();
  ASSERT_EQ(handheld.seen.size(), 3u);
  EXPECT_GE(handheld.seen[0].when - t0, 86805ns);  // 10 bits at 115200 bit/s
  EXPECT_EQ(handheld.seen[1].byte, -1);
  EXPECT_EQ(handheld.seen[2].when - t0, 86805ns + kByteAtFast) << "the last byte waiting comes on time";
  // The echo of AA was sent at 115200 while the computer listened there.
  ASSERT_FALSE(bursts.empty());
  EXPECT_EQ(bursts.front().bytes.front(), 0xAA);

  // Closing the line hands over what is still on its way first.
  handheld.seen.clear();
  line->OnByte(*line, 0x80, kFast);
  line->OnClose(*line);
  ASSERT_EQ(handheld.seen.size(), 1u);
  EXPECT_EQ(handheld.seen[0].byte, 0x80);
  EXPECT_EQ(line->Pass(), Clock::time_point::max());
}

}  // namespace
