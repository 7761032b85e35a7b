#include <algorithm>
#include <filesystem>

#include "repair/nor_check_values.h"
#include "repair/nor_repair.h"
#include "repair_test_support.h"

namespace fs = std::filesystem;
using Flash = RepairReceiver::Flash;

namespace {

const char kNormalPrompt[] = "点击确定后,立刻按下文曲星端reset.";
const char kLowSpeedPrompt[] = "文曲星端按下reset后,立刻点击确定.";
const char kSuccess[] = "恭喜，已成功修复！";
const char kTimeoutQuestion[] = "请求超时,重试吗?";

class NorRepairTest : public RepairFixture {
 public:
  fs::path file = dir / "x.nor";
  Bytes image;
  RepairReceiver handheld{Flash::Nor};

  void SetUp() override {
    Image(6);
    port.Attach(&handheld);
  }
  void Image(int pages) {
    image = RandomBytes(pages * 32768u, static_cast<unsigned>(pages));
    WriteFile(file, image);
  }
  RepairEnding Run(NorRepairOptions options) {
    m.ImagePath = file.string();
    return BackNor(m, options);
  }
  static NorRepairOptions Pages(bool p00, bool p01, bool p02) {
    NorRepairOptions o;
    o.page00 = p00;
    o.page01 = p01;
    o.pagesFrom02 = p02;
    return o;
  }
  // The emulated flash holds exactly these pages of `source`, each whole.
  void ExpectFlashHolds(const std::vector<int>& pages, const Bytes& source) {
    std::vector<int> held;
    for (const auto& [page, bytes] : handheld.norPages) held.push_back(page);
    EXPECT_EQ(held, pages);
    for (int p : pages) {
      const Bytes expected(source.begin() + p * 32768, source.begin() + (p + 1) * 32768);
      EXPECT_EQ(handheld.norPages[p], expected) << "page " << p;
      EXPECT_TRUE(std::all_of(handheld.written[p].begin(), handheld.written[p].end(), [](bool w) { return w; }));
    }
    EXPECT_TRUE(handheld.rejected.empty());
  }
};

TEST_F(NorRepairTest, EachPageSelectionWritesExactlyItsPages) {
  struct Case {
    bool p00, p01, p02;
    std::vector<int> pages;
  };
  for (const Case& c : {Case{true, false, false, {0}}, Case{false, true, false, {1}},
                        Case{false, false, true, {2, 3, 4, 5}}, Case{true, true, true, {0, 1, 2, 3, 4, 5}}}) {
    handheld = RepairReceiver(Flash::Nor);
    host = FakeHost();
    WriteFile(file, image);
    EXPECT_EQ(Run(Pages(c.p00, c.p01, c.p02)), RepairEnding::Success);
    const Bytes onDisk = ReadFile(file);
    // The image is corrected only when pages 02 on go out.
    EXPECT_EQ(onDisk == image, !c.p02);
    ExpectFlashHolds(c.pages, onDisk);
    EXPECT_EQ(handheld.framesReceived, 128 * static_cast<int>(c.pages.size()));
    EXPECT_EQ(host.prompts, std::vector<std::string>{kNormalPrompt});
    EXPECT_EQ(host.messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(host.total.maximum, 6);
    EXPECT_EQ(host.total.value, 0);  // restored afterwards
    EXPECT_FALSE(handheld.formatted);
    EXPECT_FALSE(port.isOpen);
    EXPECT_FALSE(host.locked);
    EXPECT_EQ(host.unloads, 1);
  }
}

TEST_F(NorRepairTest, NormalModeConnectsByPollingThenSwitchesSpeed) {
  handheld.faults.pollsBeforeAnswer = 3;
  ASSERT_EQ(Run(Pages(true, false, false)), RepairEnding::Success);
  const auto sent = Sent();
  // 08 until the handheld answers, then 05, all at 115200 bit/s.
  ASSERT_GE(sent.size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(sent[i], std::make_pair(std::uint8_t{0x08}, 115200L));
  EXPECT_EQ(sent[4], std::make_pair(std::uint8_t{0x05}, 115200L));
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600}));
  // Then the first frame of page 00 at the model's speed.
  const Bytes header = {0x40, 0x00, 0x00, 0x80, 0x00, 0x01, 0xC1};
  for (std::size_t i = 0; i < header.size(); ++i) EXPECT_EQ(sent[5 + i], std::make_pair(header[i], 921600L));
  EXPECT_EQ(sent[5 + 7], std::make_pair(image[0], 921600L));
  // Frames of page 00 address 0x8000 to 0xFF00.
  EXPECT_EQ(handheld.headers.back()[3], 0xFF);
  EXPECT_NE(std::find(host.statusHistory.begin(), host.statusHistory.end(), "正在修复$00页"), host.statusHistory.end());
}

TEST_F(NorRepairTest, OtherPagesAreAddressedFrom0x4000) {
  host.model = "2000系列";
  handheld = RepairReceiver(Flash::Nor, 230400);
  ASSERT_EQ(Run(Pages(false, true, false)), RepairEnding::Success);
  EXPECT_EQ(port.speeds.back(), 230400);
  EXPECT_EQ(handheld.headers.front(), (std::array<std::uint8_t, 7>{0x40, 0x01, 0x00, 0x40, 0x00, 0x01, 0x00}));
  EXPECT_EQ(handheld.headers.back()[3], 0xBF);
}

TEST_F(NorRepairTest, LowSpeedNeverPollsNorSwitches) {
  NorRepairOptions options = Pages(false, true, true);
  options.lowSpeed = true;
  ASSERT_EQ(Run(options), RepairEnding::Success);
  EXPECT_EQ(Sent().front().first, 0x05);
  EXPECT_EQ(handheld.connectionRequests, 0);
  EXPECT_TRUE(handheld.lowSpeedConnection);
  EXPECT_TRUE(OnlyBaseSpeed());
  EXPECT_EQ(host.prompts, std::vector<std::string>{kLowSpeedPrompt});
  ExpectFlashHolds({1, 2, 3, 4, 5}, ReadFile(file));
}

TEST_F(NorRepairTest, CheckErrorIsIgnoredBeforeTheFirstFrameOnly) {
  for (bool lowSpeed : {false, true}) {
    handheld = RepairReceiver(Flash::Nor);
    handheld.faults.checkErrorAt = 0;
    NorRepairOptions options = Pages(true, false, false);
    options.lowSpeed = lowSpeed;
    EXPECT_EQ(Run(options), RepairEnding::Success) << lowSpeed;
    ExpectFlashHolds({0}, image);
  }
  handheld = RepairReceiver(Flash::Nor);
  handheld.faults.checkErrorAt = 130;
  host = FakeHost();
  NorRepairOptions options = Pages(true, true, false);
  options.format = true;
  EXPECT_EQ(Run(options), RepairEnding::CheckError);
  EXPECT_EQ(host.messages, std::vector<std::string>{"文曲星端校验错!"});
  EXPECT_EQ(handheld.framesReceived, 130);
  EXPECT_FALSE(handheld.formatted);
  EXPECT_TRUE(host.questions.empty());
}

TEST_F(NorRepairTest, TimeoutAnsweredYesStartsOverFromPage00) {
  handheld.faults.silentFrom = 128 + 5;  // in page 01
  host.answers = {true};
  int barAtQuestion = -1;
  host.onDialog = [&](const std::string& text) {
    if (text == kTimeoutQuestion) barAtQuestion = host.total.value + host.current.value;
  };
  ASSERT_EQ(Run(Pages(true, true, false)), RepairEnding::Success);
  EXPECT_EQ(host.questions, std::vector<std::string>{kTimeoutQuestion});
  EXPECT_EQ(barAtQuestion, 0);
  EXPECT_EQ(host.prompts.size(), 2u);
  EXPECT_EQ(port.flushes, 1);
  EXPECT_EQ(handheld.attempt, 2);
  EXPECT_EQ(handheld.framesReceived, 256);  // the second attempt sent both pages again
  EXPECT_EQ(handheld.connectionRequests, 2);
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600, 115200, 921600}));
  ExpectFlashHolds({0, 1}, image);
  EXPECT_EQ(host.messages, std::vector<std::string>{kSuccess});
}

TEST_F(NorRepairTest, TimeoutAnsweredNoEndsTheRepairWithTheImageCorrected) {
  handheld.faults.silentFrom = 0;  // the handheld never answers the polls
  EXPECT_EQ(Run(Pages(false, false, true)), RepairEnding::Timeout);
  EXPECT_EQ(host.questions, std::vector<std::string>{kTimeoutQuestion});
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(handheld.framesReceived, 0);
  EXPECT_NE(ReadFile(file), image);  // corrected before the prompt all the same
  EXPECT_EQ(host.status, "等待开始...");
  EXPECT_GE(host.hides, 1);
}

TEST_F(NorRepairTest, CancelDuringTheCorrectionsEndsBeforeAnyFrame) {
  for (bool p00 : {true, false}) {
    handheld = RepairReceiver(Flash::Nor);
    host = FakeHost();
    host.onEvents = [&] {
      if (host.status == "计算NorCheckSum...") m.RequestCancel();
    };
    EXPECT_EQ(Run(Pages(p00, false, true)), RepairEnding::Cancel);
    EXPECT_EQ(host.prompts.size(), 1u);  // the prompt still comes
    EXPECT_EQ(handheld.framesReceived, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.questions.empty());
  }
}

TEST_F(NorRepairTest, CancelWhileSendingStopsAtTheNextPoll) {
  int framesAtCancel = -1;
  host.onEvents = [&] {
    if (handheld.framesReceived == 200 && framesAtCancel < 0) {
      framesAtCancel = handheld.framesReceived;
      m.RequestCancel();
    }
  };
  EXPECT_EQ(Run(Pages(true, true, true)), RepairEnding::Cancel);
  EXPECT_LE(handheld.framesReceived, framesAtCancel + 1);  // at most the frame already under way
  EXPECT_LT(handheld.framesReceived, 6 * 128);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(port.isOpen);
  EXPECT_FALSE(host.locked);
}

TEST_F(NorRepairTest, ACancelConfirmedAsAWaitGivesUpEndsWithoutTheTimeoutQuestion) {
  EXPECT_TRUE(CancelAtEveryPassOfASilentWait(handheld, Flash::Nor, 110, [&] { return Run(Pages(true, false, false)); }));
}

TEST_F(NorRepairTest, FormatCommandFollowsTheLastFrameExactlyWhenChosen) {
  for (bool format : {false, true}) {
    handheld = RepairReceiver(Flash::Nor);
    port.wire.clear();
    NorRepairOptions options = Pages(false, true, false);
    options.format = format;
    ASSERT_EQ(Run(options), RepairEnding::Success);
    EXPECT_EQ(handheld.formatted, format);
    EXPECT_EQ(handheld.bytesAfterFormat, 0);
    const auto sent = Sent();
    const Bytes end = {0x80, 0, 0, 0, 0, 0, 0x80};
    Bytes tail;
    for (std::size_t i = sent.size() - 7; i < sent.size(); ++i) tail.push_back(sent[i].first);
    EXPECT_EQ(tail == end, format);
    // Without the format command the last frame's payload check is the last byte sent.
    std::uint8_t lastCheck = 0;
    for (int i = 0; i < 256; ++i) lastCheck ^= image[32768 + 127 * 256 + i];
    if (!format) {
      EXPECT_EQ(sent.back().first, lastCheck);
    }
  }
}

TEST_F(NorRepairTest, APortRefusingBytesCountsAsATimeout) {
  port.putchRefusals = -1;
  EXPECT_EQ(Run(Pages(true, false, false)), RepairEnding::Timeout);
  EXPECT_EQ(host.questions, std::vector<std::string>{kTimeoutQuestion});
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(port.isOpen);
}

TEST_F(NorRepairTest, ARefusedSpeedEndsTheRepair) {
  host.model = "NC2000";  // neither model: speed 0, which the port refuses
  EXPECT_EQ(Run(Pages(true, false, false)), RepairEnding::SpeedError);
  EXPECT_EQ(host.messages, std::vector<std::string>{"更改串口设置时出错!"});
  EXPECT_EQ(handheld.framesReceived, 0);
}

TEST_F(NorRepairTest, AnImageThatCannotBeCorrectedIsNeverSent) {
  if (!MakeReadOnly(file)) GTEST_SKIP() << "cannot make a file read-only here";
  EXPECT_EQ(Run(Pages(true, false, true)), RepairEnding::NotWritable);
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.prompts.empty());
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(ReadFile(file), image);
  // Pages 00 and 01 need no correction and go out from a read-only image.
  EXPECT_EQ(Run(Pages(true, true, false)), RepairEnding::Success);
}

TEST_F(NorRepairTest, ImagesThePageNumberCannotAddressAreRefused) {
  EXPECT_TRUE(NorImageLengthAcceptable(256 * 32768));
  EXPECT_FALSE(NorImageLengthAcceptable(257 * 32768));
  Image(257);
  EXPECT_EQ(Run(Pages(true, false, false)), RepairEnding::FileError);
  EXPECT_EQ(host.messages, std::vector<std::string>{"文件错误!"});
  EXPECT_TRUE(Sent().empty());
}

}  // namespace
