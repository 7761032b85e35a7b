#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "backup/backup.h"
#include "backup_sender.h"
#include "link/qt_serial_io.h"
#include "pty_line.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/temp_folder.h"

// One whole NAND backup through the real serial layer: Qt SerialPort on the
// slave side of a pseudo-terminal, the simulated handheld on its master side,
// the real time-of-day clock.
namespace {

std::vector<std::uint8_t> Pages(int count) {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(count) * 528);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 131) ^ (i >> 9));
  return image;
}

class NandBackupOverPty : public TempFolderTest {
 protected:
  std::unique_ptr<PtyLine> line;

  // Runs SaveNand against `sender` on a fresh pty.
  BackupEnding Run(BackupSender& sender, FakeHost& host, const std::filesystem::path& file) {
    line = std::make_unique<PtyLine>(sender);
    EXPECT_TRUE(line->Ok()) << line->Error();
    QtSerialIo io;
    io.SetDevice(1, line->SlavePath());
    SystemTickClock clock;
    Module1 m(io, clock, host);
    m.ComPort = 1;
    m.ImagePath = file.string();
    line->Start();
    const BackupEnding ending = SaveNand(m);
    line->Stop();
    return ending;
  }
};

TEST_F(NandBackupOverPty, FileHoldsTheFlashAndTheStartingBlock) {
  const std::vector<std::uint8_t> flash = Pages(2 * 32 + 5);
  BackupSender sender(BackupSender::Flash::Nand, flash, 921600, 0x0C31);
  FakeHost host;
  const auto file = dir / "x.nand";
  ASSERT_EQ(Run(sender, host, file), BackupEnding::Success);

  std::vector<std::uint8_t> expected = flash;
  expected.push_back(0x33);
  expected.push_back(0x0C);
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.nand.temp"));
  EXPECT_EQ(host.messages, std::vector<std::string>{"备份系统Nand成功!"});
  EXPECT_EQ(line->bytesGarbled.load(), 0);
  EXPECT_EQ(sender.handheldSpeed, 921600) << "the handheld followed the switch";
}

TEST_F(NandBackupOverPty, RestartAfterACheckErrorSwitchesSpeedAgain) {
  const std::vector<std::uint8_t> flash = Pages(40);
  BackupSender sender(BackupSender::Flash::Nand, flash, 230400, 0x1FFF);
  sender.faults.badPayloadAt = 33;
  FakeHost host;
  host.model = "2000系列";
  host.answers = {true};  // "您要重新开始备份吗?" -> Yes
  const auto file = dir / "y.nand";
  { std::ofstream(file, std::ios::binary) << "old"; }
  ASSERT_EQ(Run(sender, host, file), BackupEnding::Success);

  std::vector<std::uint8_t> expected = flash;
  expected.push_back(0x01);
  expected.push_back(0x00);
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_EQ(sender.attempt, 2) << "the computer's return to 115200 bit/s restarted the handheld";
  EXPECT_EQ(host.messages, (std::vector<std::string>{"接收数据时校验错2!", "备份系统Nand成功!"}));
}

}  // namespace
