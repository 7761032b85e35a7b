#include <algorithm>
#include <filesystem>
#include <functional>

#include "repair/nand_repair.h"
#include "repair/repair_checks.h"
#include "repair_test_support.h"
#include "backup/backup.h"
#include "backup_sender.h"

namespace fs = std::filesystem;
using Flash = RepairReceiver::Flash;
using Header = std::array<std::uint8_t, 7>;

namespace {

const char kSuccess[] = "恭喜，已成功修复！";
const char kTimeoutQuestion[] = "请求超时,重试吗?";
constexpr std::size_t kBlock = 16896;

TEST(NandChecks, FileLengthAndStartingBlock) {
  for (std::uint64_t length : {2u, 16896u, 16899u, 0u, 2u * 16896u})
    EXPECT_EQ(CheckNandImage(length, 1).message, "文件错误!\n\r请重新选择文件!") << length;
  const auto one = CheckNandImage(16898, 1);
  EXPECT_TRUE(one.accepted);
  EXPECT_EQ(one.blocks, 1);
  EXPECT_TRUE(CheckNandImage(16898, 4095).accepted);
  EXPECT_TRUE(CheckNandImage(3 * 16896 + 2, 4093).accepted);
  for (int start : {4096, 0, 0x8000})
    EXPECT_EQ(CheckNandImage(16898, start).message, "文件对应的开始逻辑块号错误,无法修复!\n\r请重新选择文件!") << start;
  EXPECT_FALSE(CheckNandImage(3 * 16896 + 2, 4094).accepted);
  // The command line says what was found and what was allowed.
  EXPECT_EQ(CheckNandImage(16898, 0).reason, "开始逻辑块号为0h,1块的映像应为1h到FFFh");
  EXPECT_EQ(CheckNandImage(3 * 16896 + 2, 4094).reason, "开始逻辑块号为FFEh,3块的映像应为1h到FFDh");
  EXPECT_EQ(CheckNandImage(4096 * 16896ull + 2, 1).reason, "开始逻辑块号为1h,但文件有4096块,最多4095块");
  EXPECT_EQ(CheckNandImage(16899, 1).reason, "文件长度为16899字节,应为整块(每块16896字节)再加2字节");
}

TEST(NandChecks, RangeRules) {
  const auto all = CheckNandRange(true, "3", "", 5);
  EXPECT_TRUE(all.accepted);
  EXPECT_EQ(std::make_pair(all.firstBlock, all.lastBlock), std::make_pair(1, 5));
  const auto some = CheckNandRange(false, "2", "4", 5);
  EXPECT_TRUE(some.accepted);
  EXPECT_EQ(std::make_pair(some.firstBlock, some.lastBlock), std::make_pair(2, 4));
  EXPECT_TRUE(CheckNandRange(false, "5", "5", 5).accepted);
  for (auto [first, last] : {std::pair{"3", "2"}, {"0", "4"}, {"", "4"}, {"1", ""}, {"1", "6"}, {"x", "3"}}) {
    const auto bad = CheckNandRange(false, first, last, 5);
    EXPECT_FALSE(bad.accepted) << first << "-" << last;
    EXPECT_EQ(bad.message, "修复的块应该在1到 5之间,请重新填写.");
    EXPECT_EQ(std::make_pair(bad.firstBlock, bad.lastBlock), std::make_pair(1, 5));
  }
}

class NandRepairTest : public RepairFixture {
 public:
  fs::path file = dir / "x.nand";
  Bytes blocks;  // the image without its trailer
  int start = 2;
  RepairReceiver handheld{Flash::Nand};

  void SetUp() override { port.Attach(&handheld); }
  void Image(int count, int startLogical) {
    start = startLogical;
    blocks = RandomBytes(count * kBlock, static_cast<unsigned>(count + startLogical));
    WriteFile(file, WithTrailer(blocks, static_cast<unsigned>(startLogical)));
  }
  RepairEnding Run(int first, int last, bool lowSpeed = false, bool format = false) {
    m.ImagePath = file.string();
    const auto check = CheckNandImage(file.string());
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.startLogicalBlock, start);
    return BackNand(m, first, last, check.startLogicalBlock, NandRepairOptions{lowSpeed, format});
  }
  // The emulated NAND holds exactly file blocks first..last, under their logical numbers.
  void ExpectFlashHolds(int first, int last) {
    std::vector<int> held, expected;
    for (const auto& [logical, bytes] : handheld.nandBlocks) held.push_back(logical);
    for (int b = first; b <= last; ++b) expected.push_back(start + b - 1);
    EXPECT_EQ(held, expected);
    for (int b = first; b <= last; ++b) {
      const Bytes want(blocks.begin() + (b - 1) * kBlock, blocks.begin() + b * kBlock);
      EXPECT_EQ(handheld.nandBlocks[start + b - 1], want) << "block " << b;
    }
    EXPECT_TRUE(handheld.rejected.empty());
  }
};

TEST_F(NandRepairTest, FramesCarryTheBlockCodeAndPageIndex) {
  Image(2, 2);
  ASSERT_EQ(Run(1, 2), RepairEnding::Success);
  ASSERT_EQ(handheld.headers.size(), 64u);
  EXPECT_EQ(handheld.headers[0], (Header{0x00, 0x00, 0x00, 0x00, 0x10, 0x02, 0x12}));
  EXPECT_EQ(handheld.headers[5][3], 0x0A);
  EXPECT_EQ(handheld.headers[31], (Header{0x00, 0x00, 0x00, 0x3E, 0x10, 0x02, 0x2C}));
  EXPECT_EQ(handheld.headers[32][1], 0x01);  // logical block 3
  ExpectFlashHolds(1, 2);
  EXPECT_EQ(host.prompts, std::vector<std::string>{"修复 1到 2块,\r\n点击确定后,立刻按下文曲星端reset."});
  EXPECT_EQ(host.messages, std::vector<std::string>{kSuccess});
  EXPECT_EQ(host.status, "已修复第 2块");
  // Normal mode: 08 until answered, AA, then the switch.
  const auto sent = Sent();
  EXPECT_EQ(sent[0], std::make_pair(std::uint8_t{0x08}, 115200L));
  EXPECT_EQ(sent[1], std::make_pair(std::uint8_t{0xAA}, 115200L));
  EXPECT_EQ(sent[2], std::make_pair(std::uint8_t{0x00}, 921600L));
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600}));
}

TEST_F(NandRepairTest, LowSpeedKeepsTheBaseSpeedAndBlockOneHasCode1FFF) {
  Image(1, 1);
  ASSERT_EQ(Run(1, 1, true), RepairEnding::Success);
  EXPECT_EQ(handheld.headers.front(), (Header{0x1F, 0xFF, 0x00, 0x00, 0x10, 0x02, 0xF2}));
  EXPECT_EQ(Sent().front().first, 0xAA);
  EXPECT_EQ(handheld.connectionRequests, 0);
  EXPECT_TRUE(OnlyBaseSpeed());
  EXPECT_EQ(host.prompts, std::vector<std::string>{"修复 1到 1块,\r\n文曲星端按下reset后,立刻点击确定."});
  ExpectFlashHolds(1, 1);
}

TEST_F(NandRepairTest, ARangeWritesOnlyItsBlocks) {
  Image(4, 7);
  ASSERT_EQ(Run(2, 3), RepairEnding::Success);
  ExpectFlashHolds(2, 3);
  EXPECT_EQ(host.total.minimum, 1);
  EXPECT_EQ(host.total.maximum, 3);
  EXPECT_EQ(host.current.maximum, 32);
}

TEST_F(NandRepairTest, TimeoutInBlockSevenAnsweredYesStartsAgainAtBlockOne) {
  Image(10, 2);
  handheld.faults.silentFrom = 6 * 32 + 4;
  host.answers = {true};
  int barsAtQuestion = -1;
  host.onDialog = [&](const std::string& text) {
    if (text == kTimeoutQuestion) barsAtQuestion = host.total.value + host.current.value;
  };
  ASSERT_EQ(Run(1, 10), RepairEnding::Success);
  EXPECT_EQ(host.questions, std::vector<std::string>{kTimeoutQuestion});
  EXPECT_EQ(barsAtQuestion, 0);
  EXPECT_EQ(host.prompts.size(), 2u);
  EXPECT_EQ(handheld.attempt, 2);
  EXPECT_EQ(handheld.framesReceived, 320);
  EXPECT_EQ(handheld.headers[6 * 32 + 4][1], 0x00);  // the new attempt began with logical block 2 again
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600, 115200, 921600}));
  ExpectFlashHolds(1, 10);
}

TEST_F(NandRepairTest, TimeoutAnsweredNoEnds) {
  Image(3, 2);
  handheld.faults.silentFrom = 40;
  EXPECT_EQ(Run(2, 3, true), RepairEnding::Timeout);
  EXPECT_EQ(host.total.value, 1);  // back to its minimum
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(port.flushes, 1);
}

// Whether a repair that ended had sent the handheld anything, as the front
// ends need to know: a partly written handheld must be repaired again.
TEST_F(NandRepairTest, HandheldWrittenTellsWhetherAnyFrameWentOut) {
  struct Case {
    const char* what;
    std::function<void()> fault;
    RepairEnding ending;
    bool written;
  };
  const Case cases[] = {
      {"silent from the start", [&] { handheld.faults.silentFrom = 0; }, RepairEnding::Timeout, false},
      {"silent in block 2", [&] { handheld.faults.silentFrom = 40; }, RepairEnding::Timeout, true},
      {"check error in block 2", [&] { handheld.faults.checkErrorAt = 33; }, RepairEnding::CheckError, true},
      {"image cut short in block 2",
       [&] {
         host.onEvents = [&] {
           if (handheld.framesReceived == 20) fs::resize_file(file, kBlock + 100);
         };
       },
       RepairEnding::FileError, true},
      {"port not opened", [&] { port.failOpen = true; }, RepairEnding::PortFailed, false},
      {"device gone in block 2, not tried again",
       [&] {
         port.onPoll = [&] { port.lost = port.lost || handheld.framesReceived == 40; };
       },
       RepairEnding::PortLost, true},
      {"device gone in block 2, still gone when tried again",
       [&] {
         port.onPoll = [&] { port.lost = port.lost || handheld.framesReceived == 40; };
         host.answers = {true};
         host.onDialog = [&](const std::string&) { port.failOpen = true; };
       },
       RepairEnding::PortFailed, true},
      {"all sent", [] {}, RepairEnding::Success, true},
  };
  m.HandheldWritten = true;  // left from an earlier repair
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image(3, 2);
    handheld = RepairReceiver(Flash::Nand);
    host = FakeHost();
    port.failOpen = port.lost = false;
    port.onPoll = nullptr;
    c.fault();
    EXPECT_EQ(Run(1, 3), c.ending);
    EXPECT_EQ(m.HandheldWritten, c.written);
    if (port.lost) {
      EXPECT_EQ(host.questions, std::vector<std::string>{"串口已断开!\r\nsim: 设备已断开\r\n重试吗?"});
    }
  }
}

TEST_F(NandRepairTest, CheckErrorOnALaterFrameEndsTheRepair) {
  Image(2, 2);
  handheld.faults.checkErrorAt = 33;
  EXPECT_EQ(Run(1, 2, false, true), RepairEnding::CheckError);
  EXPECT_EQ(host.messages, std::vector<std::string>{"文曲星端校验错!"});
  EXPECT_EQ(handheld.framesReceived, 33);
  EXPECT_FALSE(handheld.formatted);
}

TEST_F(NandRepairTest, CancelEndsAtTheNextPoll) {
  Image(3, 2);
  int framesAtCancel = -1;
  host.onEvents = [&] {
    if (handheld.framesReceived == 40 && framesAtCancel < 0) {
      framesAtCancel = handheld.framesReceived;
      m.RequestCancel();
    }
  };
  EXPECT_EQ(Run(1, 3), RepairEnding::Cancel);
  EXPECT_LE(handheld.framesReceived, framesAtCancel + 1);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.questions.empty());
  EXPECT_FALSE(port.isOpen);
  EXPECT_FALSE(host.locked);
  EXPECT_EQ(host.unloads, 1);
}

TEST_F(NandRepairTest, ACancelConfirmedAsAWaitGivesUpEndsWithoutTheTimeoutQuestion) {
  Image(1, 2);
  EXPECT_TRUE(CancelAtEveryPassOfASilentWait(handheld, Flash::Nand, 70, [&] { return Run(1, 1); }));
}

TEST_F(NandRepairTest, FormatCommandExactlyWhenTicked) {
  Image(1, 5);
  for (bool format : {false, true}) {
    handheld = RepairReceiver(Flash::Nand);
    port.wire.clear();
    ASSERT_EQ(Run(1, 1, false, format), RepairEnding::Success);
    EXPECT_EQ(handheld.formatted, format);
    EXPECT_EQ(handheld.bytesAfterFormat, 0);
    const auto sent = Sent();
    // After the last frame's payload check: the seven bytes of the format command, or nothing.
    std::uint8_t lastCheck = 0;
    for (std::size_t i = 31 * 528; i < kBlock; ++i) lastCheck ^= blocks[i];
    const std::size_t tail = format ? 7 : 0;
    EXPECT_EQ(sent[sent.size() - 1 - tail].first, lastCheck);
    if (format) {
      EXPECT_EQ(sent.back().first, 0x80);
    }
  }
}

TEST_F(NandRepairTest, ABackupRepairedIntoAnotherHandheldLeavesTheSameFlash) {
  // The first handheld holds 3 blocks from logical block 9 (code 7).
  const Bytes flash = RandomBytes(3 * kBlock, 77);
  BackupSender sender(BackupSender::Flash::Nand, flash, 921600, 7);
  port.Attach(&sender);
  m.ImagePath = file.string();
  ASSERT_EQ(SaveNand(m), BackupEnding::Success);

  port.Attach(&handheld);
  blocks = flash;
  start = 9;
  ASSERT_EQ(Run(1, 3), RepairEnding::Success);
  ExpectFlashHolds(1, 3);
}

}  // namespace
