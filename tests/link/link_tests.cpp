#include <gtest/gtest.h>

#include "common/handheld_layout.h"
#include "support/transfer_rig.h"

namespace {

// A handheld that says nothing unless the test puts bytes on the line.
class QuietDevice : public HandheldDevice {
 public:
  void OnByte(HandheldLine&, std::uint8_t, long) override {}
};

// The rig with that handheld; LinkTest opens the port first.
struct OpenPort : ::testing::Test, TransferRig {
  QuietDevice device;
  void SetUp() override { port.Attach(&device); }
};
struct LinkTest : OpenPort {
  void SetUp() override {
    OpenPort::SetUp();
    ASSERT_TRUE(m.OpenPort());
  }
};

TEST_F(LinkTest, ReceiveByteTellsRealZeroTimeoutAndCancelApartOnlyByFlags) {
  port.Send(0x00, kBaseBaud);
  EXPECT_EQ(m.ReceiveByte(), 0);
  EXPECT_FALSE(m.TimeoutFlag);

  const long before = clock.reads();
  EXPECT_EQ(m.ReceiveByte(), 0);
  EXPECT_TRUE(m.TimeoutFlag);
  // 200 observed changes of the clock, not more and not fewer polls.
  EXPECT_NEAR(clock.reads() - before, 2 * kReceiveTicks, 4);

  port.Send(0x42, kBaseBaud);
  m.CancelFlag = true;
  EXPECT_EQ(m.ReceiveByte(), 0);
  EXPECT_FALSE(m.TimeoutFlag);
  EXPECT_EQ(port.waiting(), 0u) << "the byte read by the cancelled poll is dropped";
}

TEST_F(LinkTest, ReceiveByteStartsAFreshCountAndLetsEventsRun) {
  int polls = 0;
  port.onPoll = [&] {
    if (++polls == 150) port.Send(0x08, kBaseBaud);
  };
  EXPECT_EQ(m.ReceiveByte(), 0x08);
  EXPECT_FALSE(m.TimeoutFlag);
  EXPECT_GE(host.events, 150);
  polls = 0;
  EXPECT_EQ(m.ReceiveByte(), 0x08) << "a second wait counts its ticks from zero";
}

TEST_F(LinkTest, CancelSetWhileEventsRunEndsTheWait) {
  host.onEvents = [&] { m.RequestCancel(); };
  EXPECT_EQ(m.ReceiveByte(), 0);
  EXPECT_TRUE(m.CancelFlag);
  EXPECT_FALSE(m.TimeoutFlag);
  EXPECT_LT(port.getchCalls, 3);
}

TEST_F(LinkTest, SendByteGivesUpOnARefusingPortAsATimeOut) {
  port.putchRefusals = 3;
  EXPECT_TRUE(m.SendByte(0x03));
  EXPECT_EQ(m.PortResult, 1);
  port.putchRefusals = -1;
  EXPECT_FALSE(m.SendByte(0x03));
  EXPECT_TRUE(m.TimeoutFlag);
  EXPECT_EQ(port.SentByComputer(), std::vector<std::uint8_t>{0x03});
}

TEST_F(LinkTest, SwitchToModelSpeedFollowsTheModelTextExactly) {
  host.model = "NC3000";
  EXPECT_TRUE(m.SwitchToModelSpeed());
  EXPECT_EQ(m.ModelBaud, 921600);
  EXPECT_EQ(port.speed, 921600);
  host.model = "2000系列";
  EXPECT_TRUE(m.SwitchToModelSpeed());
  EXPECT_EQ(m.ModelBaud, 230400);
  host.model = "nc3000";
  m.SpeedSwitched = false;
  EXPECT_FALSE(m.SwitchToModelSpeed()) << "speed 0 is refused";
  EXPECT_EQ(m.ModelBaud, 0);
  EXPECT_TRUE(m.SpeedSwitched) << "set even when the switch failed";
}

TEST_F(LinkTest, FormatCommandIsTheEndFrameInOneWrite) {
  m.TransferBuffer.fill(0x77);
  m.SendFormatCommand();
  EXPECT_EQ(port.SentByComputer(), (std::vector<std::uint8_t>{0x80, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(m.PortResult, 7);
}

TEST_F(OpenPort, FailureIsReportedAndClearsSpeedSwitched) {
  m.SpeedSwitched = true;
  m.ComPort = 0;
  EXPECT_FALSE(m.OpenPort());
  EXPECT_FALSE(m.SpeedSwitched);
  EXPECT_EQ(host.messages, std::vector<std::string>{"串口打开失败!"});
  m.ComPort = 1;
  port.failIoctl = true;
  EXPECT_FALSE(m.OpenPort());
  m.ClosePort();
  port.failIoctl = false;
  EXPECT_TRUE(m.OpenPort());
  EXPECT_EQ(port.speed, 115200);
}

TEST(Frame, SealedHeadersXorToZero) {
  std::uint8_t header[7] = {0x40, 0x00, 0x00, 0x80, 0x00, 0x01, 0};
  wire::SealHeader(header);
  EXPECT_EQ(header[6], 0xC1);
  EXPECT_EQ(wire::XorOf(header, 7), 0);
}

}  // namespace
