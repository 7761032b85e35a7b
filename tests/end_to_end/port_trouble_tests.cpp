// The serial port when things go wrong, through the real serial layer
// against build/handheld-sim: the device going away in the middle of a
// transfer (the simulator killed, as a USB adapter pulled out), and a port
// that another program holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "backup/backup.h"
#include "emulated_flash.h"
#include "link/module1.h"
#include "link/qt_serial_io.h"
#include "processes.h"
#include "repair/nand_repair.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char kLostQuestion[] = "串口已断开!\r\n";

class PortTrouble : public TempFolderTest {
 protected:
  std::string link = At("com1");
  std::unique_ptr<SimProcess> sim;

  void TearDown() override {
    sim.reset();
    if (HasFailure()) folder.Keep();
  }
  // A simulated handheld (4 NAND blocks from logical block 2) on the link.
  void StartSim() {
    const std::vector<std::string> args = {"--link", link, "--offer", "nand"};
    sim = std::make_unique<SimProcess>(HANDHELD_SIM_PROGRAM, args, (dir / "sim.log").string());
    ASSERT_TRUE(sim->Ok());
  }
};

// The wait ends as soon as the device is gone, with the lost-port question
// naming it, never with the time-out that silence gives. Yes opens the port
// afresh: with a handheld back on the same link the transfer then works. No
// ends it: no backup file, and a repair says the handheld is partly written.
TEST_F(PortTrouble, DeviceGoneMidTransferEndsTheWaitAndARestartReopensThePort) {
  struct Case {
    const char* name;
    bool backup;
    bool restart;
  };
  const Case cases[] = {
      {"backup, started again", true, true},
      {"backup, given up", true, false},
      {"repair, tried again", false, true},
      {"repair, given up", false, false},
  };
  const Bytes flash = EmulatedFlash::Generated(8, 4, 2).NandImage();
  Bytes image = flash;
  for (std::size_t i = 0; i < image.size(); i += 512) image[i] ^= 0xFF;
  image.insert(image.end(), {2, 0});
  WriteFile(dir / "repair.nand", image);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSim();
    FakeHost host;
    QtSerialIo io;
    SystemTickClock clock;
    Module1 m(io, clock, host);
    m.UseDevice(link);
    const fs::path target = dir / "x.nand";
    fs::remove(target);
    m.ImagePath = c.backup ? target.string() : (dir / "repair.nand").string();

    bool killed = false;
    host.onEvents = [&] {
      if (!killed && host.current.value >= 3) {
        killed = true;
        sim->Stop(SIGKILL);
      }
    };
    host.onDialog = [&](const std::string& text) {
      if (text.rfind(kLostQuestion, 0) != 0) return;
      if (c.restart) StartSim();
      host.answers.push_back(c.restart);
    };
    bool success = false, lost = false;
    if (c.backup) {
      const BackupEnding ending = SaveNand(m);
      success = ending == BackupEnding::Success;
      lost = ending == BackupEnding::PortLost;
    } else {
      const RepairEnding ending = BackNand(m, 1, 4, 2, NandRepairOptions{});
      success = ending == RepairEnding::Success;
      lost = ending == RepairEnding::PortLost;
    }
    std::string said;
    for (const std::string& line : host.log) said += line + "\n";
    EXPECT_TRUE(killed);
    ASSERT_FALSE(host.questions.empty()) << said;
    const std::string& question = host.questions.front();
    const std::string ask = c.backup ? "\r\n您要重新开始备份吗?" : "\r\n重试吗?";
    EXPECT_EQ(question.rfind(kLostQuestion + link + ": 设备已断开 (", 0), 0u) << question;
    EXPECT_EQ(question.substr(question.size() - std::min(question.size(), ask.size())), ask);
    EXPECT_EQ(host.questions.size(), 1u) << said;  // no time-out question anywhere
    EXPECT_EQ(success, c.restart) << said;
    EXPECT_EQ(lost, !c.restart) << said;
    EXPECT_FALSE(fs::exists(target.string() + ".temp"));
    if (c.backup) {
      Bytes saved = flash;
      saved.insert(saved.end(), {2, 0});
      EXPECT_EQ(ReadFile(target), c.restart ? saved : Bytes{});
    } else {
      EXPECT_TRUE(m.HandheldWritten);
    }
    sim.reset();
  }
}

// A second program on a port that one holds is told the port is in use, and
// by whom, not sent off to fix a permission.
TEST_F(PortTrouble, APortInUseNamesTheProgramHoldingIt) {
  StartSim();
  QtSerialIo holder;
  holder.SetDevice(1, link);
  ASSERT_EQ(holder.sio_open(1), 0) << holder.LastError();
  const fs::path log = dir / "tolvar.log";
  Child tolvar = Spawn({TOLVAR_PROGRAM, "backup-nand", "--port", link, "--batch", (dir / "b.nand").string()}, log.string());
  EXPECT_EQ(Wait(tolvar, 60s), 1);
  holder.sio_close(1);
  std::ifstream in(log);
  const std::string output{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(output.find("串口打开失败!\n" + link + ": 串口正被另一个程序占用 (进程 " + std::to_string(getpid()) + ", "),
            std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(dir / "b.nand"));
}

}  // namespace
