// The program's handheld in-process, through SimPort and the real engine:
// the flows a batch run over a pty cannot show, where the user answers Yes and
// the handheld must follow the computer into a second attempt.
#include "simulated_handheld.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "backup/backup.h"
#include "repair/nor_repair.h"
#include "support/files.h"
#include "support/transfer_rig.h"

namespace fs = std::filesystem;

namespace {

class SimulatedHandheldTest : public TransferTest {
 protected:
  EmulatedFlash flash = EmulatedFlash::Generated(6, 2, 0x0C33);
  SimulatedHandheld::Settings settings;
  std::unique_ptr<SimulatedHandheld> handheld;
  std::vector<std::string> events;
  std::size_t leftUnread = 0;  // bytes from the handheld the computer never read

  void SetUp() override { settings.helloDelay = settings.offerPeriod = std::chrono::milliseconds(0); }
  void Make() {
    handheld = std::make_unique<SimulatedHandheld>(flash, settings);
    handheld->onEvent = [this](const std::string& e) {
      if (e.rfind("frame", 0) != 0) events.push_back(e);
      if (e == "closed") leftUnread = port.waiting();
    };
    handheld->computerSpeed = [this] { return port.speed; };
    port.Attach(handheld.get());
  }
};

TEST_F(SimulatedHandheldTest, NandBackupStartsOverWithTheComputer) {
  settings.backupFaults.badPayloadAt = 40;
  Make();
  host.answers = {true};  // "您要重新开始备份吗?" -> Yes
  m.ImagePath = (dir / "x.nand").string();
  ASSERT_EQ(SaveNand(m), BackupEnding::Success);
  Bytes expected = flash.NandImage();
  expected.push_back(0x33);
  expected.push_back(0x0C);
  EXPECT_EQ(ReadFile(m.ImagePath), expected);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"接收数据时校验错2!", "备份系统Nand成功!"}));
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "hello", "backup nand", "restart", "hello", "backup nand", "closed"}));
}

// The handheld announces the flash its user chose once, so that a computer
// slower than the offer period to switch (a loaded machine) finds no second
// announcement in its input ahead of the first frame.
TEST_F(SimulatedHandheldTest, OneAnnouncementEvenForASlowComputer) {
  for (const bool nand : {false, true}) {
    SCOPED_TRACE(nand ? "nand" : "nor");
    settings.offerNor = !nand;
    settings.offerNand = nand;
    Make();
    port.onPoll = [this] { handheld->OnIdle(port); };  // idle moments between any two polls
    events.clear();
    host.messages.clear();
    m.ImagePath = (dir / (nand ? "x.nand" : "x.nor")).string();
    ASSERT_EQ(nand ? SaveNand(m) : SaveNor(m), BackupEnding::Success);
    Bytes expected = nand ? flash.NandImage() : flash.NorImage();
    if (nand) expected.insert(expected.end(), {0x33, 0x0C});
    EXPECT_EQ(ReadFile(m.ImagePath), expected);
    EXPECT_EQ(host.messages, std::vector<std::string>{nand ? "备份系统Nand成功!" : "备份系统Nor成功!"});
    EXPECT_EQ(events, (std::vector<std::string>{"opened", "hello", nand ? "backup nand" : "backup nor", "closed"}));
  }
}

TEST_F(SimulatedHandheldTest, SilentHandheldWakesForTheRestartAndFaultsComeBackWithTheNextOpening) {
  settings.backupFaults.silentFrom = 0;  // hello answered, then nothing
  Make();
  m.ImagePath = (dir / "x.nor").string();
  host.answers = {true};  // "接收数据超时,您要重新开始备份吗?" -> Yes
  EXPECT_EQ(SaveNor(m), BackupEnding::Success);
  EXPECT_EQ(ReadFile(m.ImagePath), flash.NorImage());
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "hello", "silent", "restart", "hello", "backup nor", "closed"}));
  events.clear();
  EXPECT_EQ(SaveNor(m), BackupEnding::Timeout);
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "hello", "silent", "closed"}));
}

TEST_F(SimulatedHandheldTest, NorRepairRetriedAfterATimeOutEndsInTheFlash) {
  settings.repairFaults.silentFrom = 130;  // early in page 01
  Make();
  Bytes image(6 * nor::kPageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 15));
  m.ImagePath = (dir / "repair.nor").string();
  std::ofstream(m.ImagePath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  host.answers = {true};  // "请求超时,重试吗?" -> Yes
  NorRepairOptions options;
  options.page00 = options.page01 = true;
  options.pagesFrom02 = false;
  options.format = true;
  ASSERT_EQ(BackNor(m, options), RepairEnding::Success);
  EXPECT_EQ(host.questions, std::vector<std::string>{"请求超时,重试吗?"});
  handheld->Sync();
  Bytes expected = EmulatedFlash::Generated(6, 2, 0x0C33).NorImage();
  std::copy_n(image.begin(), 2 * nor::kPageSize, expected.begin());
  EXPECT_EQ(flash.NorImage(), expected);
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "repair", "repair nor", "format", "closed"}));
}

TEST_F(SimulatedHandheldTest, HelloThatWaitsUnreadDoesNotPutTheRepairOutOfStep) {
  Make();
  // The user reads the reset prompt; meanwhile the handheld takes the silent
  // line for a backup and says hello, which the computer has not read yet.
  host.onDialog = [&](const std::string& text) {
    if (text.find("reset") != std::string::npos) handheld->OnIdle(port);
  };
  Bytes image(6 * nor::kPageSize, 0x5A);
  m.ImagePath = (dir / "repair.nor").string();
  std::ofstream(m.ImagePath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  NorRepairOptions options;
  options.page00 = true;
  options.pagesFrom02 = false;
  ASSERT_EQ(BackNor(m, options), RepairEnding::Success);
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "hello", "repair", "repair nor", "closed"}));
  // Every answer met the request it was meant for: nothing was left over.
  EXPECT_EQ(leftUnread, 0u);
  handheld->Sync();
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + nor::kPageSize, flash.norPages.at(0).begin()));
}

}  // namespace

namespace {

TEST(EmulatedFlashFiles, SavedImagesLoadBackAndMalformedOnesAreRefused) {
  const TempFolder folder;
  const fs::path& dir = folder.path();
  const EmulatedFlash generated = EmulatedFlash::Generated(7, 3, 1);  // logical block 1 keeps its spare bytes FF
  std::string error;
  ASSERT_TRUE(generated.SaveNor((dir / "a.nor").string(), error)) << error;
  ASSERT_TRUE(generated.SaveNand((dir / "a.nand").string(), error)) << error;
  EXPECT_FALSE(fs::exists(dir / "a.nand.temp"));
  const Bytes nand = ReadFile(dir / "a.nand");
  ASSERT_EQ(nand.size(), 3 * nand::kBlockSize + 2);
  EXPECT_EQ(nand[nand.size() - 2], 0x01);
  EXPECT_EQ(Bytes(nand.begin() + 512, nand.begin() + 528), Bytes(16, 0xFF));

  EmulatedFlash loaded;
  ASSERT_TRUE(loaded.LoadNor((dir / "a.nor").string(), error)) << error;
  ASSERT_TRUE(loaded.LoadNand((dir / "a.nand").string(), error)) << error;
  EXPECT_EQ(loaded.NorImage(), generated.NorImage());
  EXPECT_EQ(loaded.NandImage(), generated.NandImage());
  EXPECT_EQ(loaded.FirstNandBlock(), 1);

  std::ofstream(dir / "short.nor", std::ios::binary) << std::string(32767, 'x');
  std::ofstream(dir / "short.nand", std::ios::binary) << std::string(16897, 'x');
  std::ofstream(dir / "zero.nand", std::ios::binary) << std::string(nand::kBlockSize, 'x') << '\0' << '\0';
  for (const char* name : {"short.nor", "missing.nor"}) {
    error.clear();
    EXPECT_FALSE(loaded.LoadNor((dir / name).string(), error)) << name;
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
  for (const char* name : {"short.nand", "zero.nand"}) EXPECT_FALSE(loaded.LoadNand((dir / name).string(), error)) << name;
  EXPECT_EQ(loaded.NorImage(), generated.NorImage()) << "a refused file leaves the flash as it was";
}

}  // namespace
