#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "backup/backup.h"
#include "backup_sender.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/transfer_rig.h"

namespace fs = std::filesystem;

namespace {

struct TraceTest : TempFolderTest {
  fs::path trace = dir / "trace.txt";
  std::unique_ptr<TransferRig> rig;  // made afresh for each backup: the link reads TOLVAR_TRACE when made

  void TearDown() override { SetEnvironment("TOLVAR_TRACE", ""); }

  // Runs a NOR backup of `frames` frames.
  void Backup(int frames, int silentFrom = -1) {
    Bytes image(256 * frames);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    BackupSender sender(BackupSender::Flash::Nor, image);
    sender.faults.silentFrom = silentFrom;
    sender.faults.junkBeforeHello = 1;
    rig = std::make_unique<TransferRig>();
    rig->port.Attach(&sender);
    rig->m.ImagePath = (dir / "x.nor").string();
    SaveNor(rig->m);
  }
};

// Bytes of every "<-" or "->" line of the trace, in order.
Bytes TracedBytes(const std::string& trace, const std::string& arrow) {
  Bytes bytes;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find("ms  " + arrow);
    if (at == std::string::npos) continue;
    std::istringstream hex(line.substr(at + 4 + arrow.size()));
    for (std::string byte; hex >> byte;) bytes.push_back(static_cast<std::uint8_t>(std::stoi(byte, nullptr, 16)));
  }
  return bytes;
}

TEST_F(TraceTest, HoldsEveryByteBothWaysAndTheSpeedSwitch) {
  SetEnvironment("TOLVAR_TRACE", trace.string());
  Backup(3);
  std::ifstream in(trace);
  const std::string text{std::istreambuf_iterator<char>(in), {}};

  Bytes received;
  for (const auto& w : rig->port.wire)
    if (!w.toHandheld) received.push_back(w.byte);
  EXPECT_EQ(TracedBytes(text, "<-"), received);
  EXPECT_EQ(TracedBytes(text, "->"), rig->port.SentByComputer());
  EXPECT_EQ(received[1], 0x08) << "the hello follows one junk byte";

  // The answer to the hello precedes the switch, which precedes the first go-ahead.
  const auto answer = text.find("-> 03");
  const auto speed = text.find("speed 921600");
  const auto goAhead = text.find("-> 06");
  EXPECT_LT(answer, speed);
  EXPECT_LT(speed, goAhead);
  EXPECT_NE(goAhead, std::string::npos);
  // One line per burst: the frame bytes arrive in one line, not one per byte.
  EXPECT_LT(std::count(text.begin(), text.end(), '\n'), 20);
}

TEST_F(TraceTest, NotesTimeOutsAndWritesNothingWhenNotAskedFor) {
  Backup(2);
  EXPECT_FALSE(fs::exists(trace));
  SetEnvironment("TOLVAR_TRACE", trace.string());
  Backup(2, 1);
  std::ifstream in(trace);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(text.find("time-out"), std::string::npos);
}

// A trace that cannot be written is said once, with the reason, and the
// backup goes on as without one.
TEST_F(TraceTest, ATraceThatCannotBeWrittenIsSaidOnceAndChangesNothingElse) {
  const struct {
    std::string path, reason;
  } cases[] = {
      {dir.string(), "这是一个文件夹"},
      {(dir / "none" / "trace.txt").string(), "文件或文件夹不存在"},
#ifdef __linux__
      {"/dev/full", "磁盘空间已满"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SetEnvironment("TOLVAR_TRACE", c.path);
    ::testing::internal::CaptureStderr();
    Backup(3);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("Tolvar: 无法写入串口跟踪文件 " + c.path + ": " + c.reason + " (", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(fs::file_size(dir / "x.nor"), 3 * 256u) << "the backup itself succeeded";
  }
}

}  // namespace
