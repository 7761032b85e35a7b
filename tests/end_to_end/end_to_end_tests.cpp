// build/tolvar against build/handheld-sim over a pseudo-terminal, through the
// real serial layer, as a user runs them: every verb, both speeds, the format
// command, and a matrix of the simulated handheld's faults at the first, a
// middle and the last frame of each transfer, plus Ctrl-C at a random frame.
//
// After every case: the exit status, no FILE.temp left, a pre-existing FILE
// unchanged unless the backup succeeded, the port free again. The run ends
// with a one-line summary.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <signal.h>

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "emulated_flash.h"
#include "link/qt_serial_io.h"
#include "processes.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Summary {
  int cases = 0, faults = 0, damaged = 0;
} summary;

class SummaryPrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    std::printf("end-to-end: %d cases run, %d faults injected, %d files lost or damaged\n", summary.cases,
                summary.faults, summary.damaged);
  }
};

std::string Text(const fs::path& path) {
  const Bytes b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

// The simulated handheld's default flash: 8 NOR pages, 4 NAND blocks from logical block 2.
const EmulatedFlash& DefaultFlash() {
  static const EmulatedFlash flash = EmulatedFlash::Generated(8, 4, 2);
  return flash;
}

enum class Kind { BackupNor, BackupNand, RepairNor, RepairNand };

struct Case {
  Kind kind;
  std::vector<std::string> simArgs;   // faults, model
  std::vector<std::string> verbArgs;  // --pages, --blocks, --low-speed, --format, --model
  int expectedExit = 0;
  int faults = 0;                     // faults this case injects
  int interruptAtFrame = -1;          // interrupt once the handheld has passed this frame
  int signal = SIGINT;                // with this signal
  int norPages = 8;                   // of the handheld's generated NOR flash
};

struct Outcome {
  int exitStatus = -1;
  std::string output;       // what tolvar printed
  Bytes file;               // FILE afterwards
  Bytes flashNor, flashNand;
  bool formatted = false;   // the handheld received the format command
  int keptBlocks = 0;       // blocks of a NAND backup that broke off, kept as x.partial.nand
};

class EndToEnd : public TempFolderTest {
 protected:
  void TearDown() override {
    if (HasFailure()) folder.Keep();
  }

  // A NOR image of 8 pages unlike the handheld's, with its check values in
  // order so that a repair of pages 02- leaves the file as it is.
  fs::path NorImage() {
    const fs::path path = dir / "repair.nor";
    if (fs::exists(path)) return path;
    Bytes image(8 * nor::kPageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 97) ^ (i >> 8) ^ 0x5A);
    WriteFile(path, image);
    Child fix = Spawn({TOLVAR_PROGRAM, "fix-nor-checks", path.string()}, (dir / "fix.log").string());
    EXPECT_EQ(Wait(fix, 30s), 0) << Text(dir / "fix.log");  // one run leaves both values consistent
    return path;
  }
  // A NAND image of 3 blocks from logical block 3 (the handheld holds 2 to 5).
  fs::path NandImage() {
    const fs::path path = dir / "repair.nand";
    if (fs::exists(path)) return path;
    const EmulatedFlash other = EmulatedFlash::Generated(0, 3, 3);
    Bytes image = other.NandImage();
    for (std::size_t i = 0; i < image.size(); i += 512) image[i] ^= 0xFF;  // differ from the handheld's own
    WriteFile(path, WithTrailer(image, 3));
    return path;
  }

  Outcome Run(const Case& c) {
    Outcome out;
    std::vector<std::string> simArgs = c.simArgs;
  // The handheld pauses there, so that Ctrl-C lands while the transfer runs
  // even on a fast line.
  if (c.interruptAtFrame >= 0) simArgs.insert(simArgs.end(), {"--stall-at", std::to_string(c.interruptAtFrame)});
    const fs::path savedNor = dir / "flash.nor", savedNand = dir / "flash.nand";
    for (const fs::path* p : {&savedNor, &savedNand}) fs::remove(*p);
    simArgs.insert(simArgs.end(), {"--save-nor", savedNor.string(), "--save-nand", savedNand.string(), "--nor-pages",
                                   std::to_string(c.norPages)});
    const bool backup = c.kind == Kind::BackupNor || c.kind == Kind::BackupNand;
    if (backup) simArgs.insert(simArgs.end(), {"--offer", c.kind == Kind::BackupNor ? "nor" : "nand"});
    SimProcess sim(HANDHELD_SIM_PROGRAM, simArgs, (dir / "sim.log").string());
    EXPECT_TRUE(sim.Ok()) << Text(dir / "sim.log");
    if (!sim.Ok()) return out;

    static const char* const kVerbs[] = {"backup-nor", "backup-nand", "repair-nor", "repair-nand"};
    fs::path file;
    if (backup) {
      file = dir / (c.kind == Kind::BackupNor ? "x.nor" : "x.nand");
      WriteFile(file, Bytes{'o', 'l', 'd', '\n'});
    } else {
      file = c.kind == Kind::RepairNor ? NorImage() : NandImage();
    }
    const Bytes before = ReadFile(file);

    std::vector<std::string> argv = {TOLVAR_PROGRAM, kVerbs[static_cast<int>(c.kind)], "--port", sim.device, "--batch"};
    argv.insert(argv.end(), c.verbArgs.begin(), c.verbArgs.end());
    argv.push_back(file.string());
    const fs::path log = dir / "tolvar.log";
    fs::remove(log);
    Child tolvar = Spawn(argv, log.string());
    if (c.interruptAtFrame >= 0) {
      EXPECT_TRUE(sim.WaitForLine("frame " + std::to_string(c.interruptAtFrame), 30s));
      kill(tolvar.pid, c.signal);
    }
    out.exitStatus = Wait(tolvar, 120s);
    out.output = Text(log);
    // Opening the device empties its queues: on a pseudo-terminal that drops
    // what tolvar wrote last (the format command) if the kernel has not yet
    // moved it to the handheld's side.
    EXPECT_TRUE(sim.WaitUntilLetGo(30s)) << "the handheld did not see the port closed";

    // The port is free again.
    QtSerialIo io;
    io.SetDevice(1, sim.device);
    const int reopened = io.sio_open(1);
    EXPECT_EQ(reopened, 0) << "port still taken: " << io.LastError();
    if (reopened == 0) io.sio_close(1);

    EXPECT_EQ(sim.Stop(), 0) << Text(dir / "sim.log");
    out.formatted = sim.Said("format");  // everything it said is in by now
    out.flashNor = ReadFile(savedNor);
    out.flashNand = ReadFile(savedNand);
    out.file = ReadFile(file);

    ++summary.cases;
    summary.faults += c.faults;
    EXPECT_EQ(out.exitStatus, c.expectedExit) << out.output;
    bool damaged = fs::exists(file.string() + ".temp");
    EXPECT_FALSE(damaged) << file << ".temp was left behind";
    if (backup && out.exitStatus == 0) {
      const Bytes expected = c.kind == Kind::BackupNor ? EmulatedFlash::Generated(c.norPages, 4, 2).NorImage()
                                                       : WithTrailer(DefaultFlash().NandImage(), 2);
      const bool equal = out.file == expected;
      EXPECT_TRUE(equal) << "the backup differs from the handheld's flash";
      // The verb names the file's size and hash, for the user to keep.
      const QByteArray hash = QCryptographicHash::hash(
          QByteArray(reinterpret_cast<const char*>(out.file.data()), static_cast<qsizetype>(out.file.size())),
          QCryptographicHash::Sha256);
      EXPECT_NE(out.output.find(file.string() + ": " + std::to_string(out.file.size()) + " 字节, SHA-256 " +
                                hash.toHex().toStdString()),
                std::string::npos)
          << out.output;
      damaged = damaged || !equal;
    } else {
      const bool unchanged = out.file == before;
      EXPECT_TRUE(unchanged) << file << " changed although the transfer failed or only read it";
      damaged = damaged || !unchanged;
    }
    // The whole blocks of a NAND backup that broke off are kept beside it as
    // an image of their own, and the output says so.
    const fs::path partial = dir / "x.partial.nand";
    if (fs::exists(partial)) {
      const Bytes kept = ReadFile(partial), flash = DefaultFlash().NandImage();
      const std::size_t body = kept.size() - std::min<std::size_t>(kept.size(), 2);
      out.keptBlocks = static_cast<int>(body / nand::kBlockSize);
      const bool prefix = body % nand::kBlockSize == 0 && body <= flash.size() &&
                          kept == WithTrailer(Bytes(flash.begin(), flash.begin() + static_cast<long>(body)), 2);
      EXPECT_TRUE(prefix) << "the kept blocks are not the flash's first ones";
      EXPECT_NE(out.output.find("保存在 " + partial.string()), std::string::npos) << out.output;
      damaged = damaged || !prefix;
      fs::remove(partial);
    }
    if (damaged) ++summary.damaged;
    return out;
  }
};

// --- transfers that succeed ---

TEST_F(EndToEnd, BackupsEqualTheHandheldsFlash) {
  Run({Kind::BackupNor, {}, {}, 0});
  Run({Kind::BackupNand, {}, {}, 0});
#ifdef CORVANE_PROGRAM
  // The generated NAND follows the page rules: Corvane finds nothing wrong in its backup.
  Child verify = Spawn({CORVANE_PROGRAM, "verify", (dir / "x.nand").string()}, (dir / "verify.log").string());
  EXPECT_EQ(Wait(verify, 30s), 0) << Text(dir / "verify.log");
#endif
  // 2000系列 at 230400 bit/s.
  Run({Kind::BackupNand, {"--model", "2000"}, {"--model", "2000"}, 0});
}

TEST_F(EndToEnd, FlashLoadedFromImageFilesIsWhatTheBackupsGet) {
  // The repair images stand in for a user's own backups: logical blocks 3 to 5.
  const fs::path nor = NorImage(), nand = NandImage();
  const Bytes norBytes = ReadFile(nor), nandBytes = ReadFile(nand);
  for (const auto& [kind, name] : {std::pair{Kind::BackupNor, "y.nor"}, std::pair{Kind::BackupNand, "y.nand"}}) {
    const char* offer = kind == Kind::BackupNor ? "nor" : "nand";
    SimProcess sim(HANDHELD_SIM_PROGRAM, {"--nor", nor.string(), "--nand", nand.string(), "--offer", offer},
                   (dir / "sim.log").string());
    ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
    const fs::path file = dir / name;
    Child tolvar = Spawn({TOLVAR_PROGRAM, kind == Kind::BackupNor ? "backup-nor" : "backup-nand", "--port", sim.device,
                          "--batch", file.string()},
                         (dir / "tolvar.log").string());
    EXPECT_EQ(Wait(tolvar, 60s), 0) << Text(dir / "tolvar.log");
    EXPECT_EQ(ReadFile(file), kind == Kind::BackupNor ? norBytes : nandBytes);
  }
}

TEST_F(EndToEnd, BackupAtTheWrongModelSpeedTimesOut) {
  const Outcome out = Run({Kind::BackupNor, {"--model", "2000"}, {}, 1});
  EXPECT_NE(out.output.find("接收数据超时,您要重新开始备份吗?"), std::string::npos) << out.output;
}

TEST_F(EndToEnd, NorRepairsWriteTheChosenPages) {
  const Bytes image = ReadFile(NorImage());
  Outcome out = Run({Kind::RepairNor, {}, {"--pages", "00,01,02-", "--format"}, 0});
  EXPECT_EQ(out.flashNor, image);
  EXPECT_TRUE(out.formatted);

  out = Run({Kind::RepairNor, {}, {"--pages", "01", "--low-speed"}, 0});
  Bytes expected = DefaultFlash().NorImage();
  std::copy_n(image.begin() + nor::kPageSize, nor::kPageSize, expected.begin() + nor::kPageSize);
  EXPECT_EQ(out.flashNor, expected);
  EXPECT_FALSE(out.formatted);
}

TEST_F(EndToEnd, NandRepairsWriteTheChosenBlocks) {
  const Bytes image = ReadFile(NandImage());  // logical blocks 3, 4, 5
  const Bytes original = WithTrailer(DefaultFlash().NandImage(), 2);  // logical blocks 2..5
  Outcome out = Run({Kind::RepairNand, {}, {"--format"}, 0});
  Bytes expected = original;
  std::copy_n(image.begin(), 3 * nand::kBlockSize, expected.begin() + nand::kBlockSize);
  EXPECT_EQ(out.flashNand, expected);
  EXPECT_TRUE(out.formatted);

  out = Run({Kind::RepairNand, {"--model", "2000"}, {"--blocks", "2-3", "--low-speed", "--model", "2000"}, 0});
  expected = original;
  std::copy_n(image.begin() + nand::kBlockSize, 2 * nand::kBlockSize, expected.begin() + 2 * nand::kBlockSize);
  EXPECT_EQ(out.flashNand, expected);
  EXPECT_FALSE(out.formatted);
}

TEST_F(EndToEnd, RepairsConnectAlsoWhenTheHandheldsHelloCameFirst) {
  // With no delay the handheld takes the opened line for a backup and says
  // hello before, or just as, the repair's first connection request arrives.
  const Bytes nor = ReadFile(NorImage()), nand = ReadFile(NandImage());  // NAND: logical blocks 3 to 5
  for (int round = 0; round < 3; ++round) {
    Outcome out = Run({Kind::RepairNor, {"--hello-delay", "0"}, {"--pages", "00,01,02-"}, 0});
    EXPECT_EQ(out.flashNor, nor);
    out = Run({Kind::RepairNand, {"--hello-delay", "0"}, {}, 0});
    ASSERT_EQ(out.flashNand.size(), 4 * nand::kBlockSize + 2);
    EXPECT_EQ(Bytes(out.flashNand.begin() + nand::kBlockSize, out.flashNand.end() - 2), Bytes(nand.begin(), nand.end() - 2));
  }
}

// --- reading the handheld back after a repair ---

class Verification : public EndToEnd {
 protected:
  struct Result {
    int status = -1;
    std::string output;
  };
  // tolvar VERB --port DEVICE --batch ARGS... FILE against a handheld that keeps its flash between calls.
  Result Tolvar(SimProcess& sim, const std::string& verb, std::vector<std::string> args, const fs::path& file) {
    std::vector<std::string> argv = {TOLVAR_PROGRAM, verb, "--port", sim.device, "--batch"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(file.string());
    const fs::path log = dir / "tolvar.log";
    fs::remove(log);
    const Bytes before = ReadFile(file);
    Child tolvar = Spawn(argv, log.string());
    Result result{Wait(tolvar, 120s), Text(log)};
    EXPECT_TRUE(sim.WaitUntilLetGo(30s)) << "the handheld did not see the port closed";  // before the next opening
    ++summary.cases;
    if (verb.rfind("verify", 0) == 0) {
      const bool untouched = ReadFile(file) == before && !fs::exists(file.string() + ".temp");
      EXPECT_TRUE(untouched) << "a verification wrote to " << file;
      summary.damaged += !untouched;
    }
    return result;
  }
};

// A handheld sends the flash its user chose: one for each half.
TEST_F(Verification, ReadsBackWhatARepairWrote) {
  SimProcess sim(HANDHELD_SIM_PROGRAM, {"--offer", "nand"}, (dir / "sim.log").string());
  ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
  const fs::path nand = NandImage();  // logical blocks 3 to 5; the handheld holds 2 to 5
  ASSERT_EQ(Tolvar(sim, "repair-nand", {}, nand).status, 0);
  Result r = Tolvar(sim, "verify-nand", {}, nand);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("比较的块数: 3\n不同的块数: 0"), std::string::npos) << r.output;

  // One block of the file changed: that block alone is reported.
  const fs::path changed = dir / "changed.nand";
  Bytes bytes = ReadFile(nand);
  bytes[nand::kBlockSize + 1000] ^= 0x10;
  WriteFile(changed, bytes);
  for (const auto& [blocks, status] : {std::pair{"1-3", 1}, std::pair{"1-1", 0}}) {
    r = Tolvar(sim, "verify-nand", {"--blocks", blocks}, changed);
    EXPECT_EQ(r.status, status) << r.output;
    EXPECT_EQ(r.output.find("第2块(逻辑块4h): 首个不同字节在块内偏移 3E8h (第2页), 不同字节数 1") != std::string::npos,
              status == 1)
        << r.output;
  }

  SimProcess norSim(HANDHELD_SIM_PROGRAM, {"--offer", "nor"}, (dir / "sim.log").string());
  ASSERT_TRUE(norSim.Ok()) << Text(dir / "sim.log");
  const fs::path nor = NorImage();
  ASSERT_EQ(Tolvar(norSim, "repair-nor", {"--pages", "00,01"}, nor).status, 0);
  r = Tolvar(norSim, "verify-nor", {"--pages", "00,01"}, nor);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("比较的页数: 2\n不同的页数: 0"), std::string::npos) << r.output;
  r = Tolvar(norSim, "verify-nor", {}, nor);  // pages 02 on were not written
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("不同的页数: 6"), std::string::npos) << r.output;
}

TEST_F(Verification, AHandheldThatFallsSilentTimesOut) {
  SimProcess sim(HANDHELD_SIM_PROGRAM, {"--silent-from", "40", "--offer", "nand"}, (dir / "sim.log").string());
  ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
  ++summary.faults;
  const Result r = Tolvar(sim, "verify-nand", {}, NandImage());
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("接收数据超时,您要重新开始备份吗? (y/n) n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("结果:"), std::string::npos) << r.output;
}

TEST_F(Verification, ABackupEndsWithTheChecksVerdict) {
  // The handheld's own NAND, sound, and the same with one data bit lost in block 2, page 3; a NAND from
  // logical block 1, whose changed data nothing can tell.
  Bytes flipped = DefaultFlash().NandImage(), block1 = EmulatedFlash::Generated(8, 3, 1).NandImage();
  flipped[nand::kBlockSize + 2 * nand::kPageSize + 100] ^= 0x10;
  block1[100] ^= 1, block1[5000] ^= 1;
  for (const auto& [image, start, verdict] :
       {std::tuple{DefaultFlash().NandImage(), 2, "\n检查: 全部正确\n"}, {flipped, 2, "\n检查: 可纠正的单位数据错误 1页\n"},
        {block1, 1, "\n检查: 全部正确 (逻辑块1没有校验数据, 未检查)\n"}}) {
    WriteFile(dir / "flash.nand", WithTrailer(image, start));
    SimProcess sim(HANDHELD_SIM_PROGRAM, {"--nand", (dir / "flash.nand").string(), "--offer", "nand"},
                   (dir / "sim.log").string());
    ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
    const Result r = Tolvar(sim, "backup-nand", {}, dir / "x.nand");
    EXPECT_EQ(r.status, 0) << r.output;  // the backup itself succeeded
    EXPECT_NE(r.output.find(verdict, r.output.find(" 字节, SHA-256 ")), std::string::npos) << r.output;
  }
}

// --- over a paced line, through an adapter that holds bytes back ---

TEST_F(EndToEnd, EveryTransferCompletesOverAPacedLineWithAdapterLatency) {
  const Bytes nor = ReadFile(NorImage()), nand = ReadFile(NandImage());  // NAND: logical blocks 3 to 5
  for (const char* latency : {"1", "16"}) {
    SCOPED_TRACE(std::string("latency ") + latency + " ms");
    const std::vector<std::string> line = {"--line-rate", "--latency", latency};
    Run({Kind::BackupNor, line, {}, 0, 0, -1, SIGINT, 1});
    Run({Kind::BackupNand, line, {}, 0});
    Outcome out = Run({Kind::RepairNor, line, {"--pages", "00"}, 0});
    EXPECT_TRUE(std::equal(nor.begin(), nor.begin() + nor::kPageSize, out.flashNor.begin()));
    out = Run({Kind::RepairNand, line, {"--format"}, 0});
    ASSERT_EQ(out.flashNand.size(), 4 * nand::kBlockSize + 2);
    EXPECT_EQ(Bytes(out.flashNand.begin() + nand::kBlockSize, out.flashNand.end() - 2), Bytes(nand.begin(), nand.end() - 2));
    EXPECT_TRUE(out.formatted);
  }
}

TEST_F(EndToEnd, BitFlippedOnTheLineInARepairGetsTheHandheldsCheckError) {
  const Outcome out = Run({Kind::RepairNand, {"--line-rate", "--latency", "1", "--flip", "40"}, {}, 1, 1});
  EXPECT_NE(out.output.find("文曲星端校验错!"), std::string::npos) << out.output;
}

// --- a bad line ---

// Bits flipped on the line break frames; tolvar starts again by itself and
// the handheld goes on where it broke, so the blocks that arrived are kept.
// (Seed 3 breaks six frames, and never flips one bit in two bytes of a frame,
// which the frame's XOR check would miss.)
TEST_F(EndToEnd, ABackupOverABadLineGoesOnUntilTheImageIsWhole) {
  const Outcome out = Run({Kind::BackupNand, {"--ber", "5e-6", "--seed", "3", "--resume"}, {"--retries", "1000"}, 0});
  EXPECT_NE(out.output.find("吗?\r\n已收到逻辑块 2h. 继续备份时, 文曲星应从第 3h 块开始发送. (y/n) y"), std::string::npos) << out.output;
  EXPECT_NE(out.output.find("正在接收数据... 从第 "), std::string::npos) << out.output;
}

// A backup that broke off leaves x.partial.nand; --continue takes its blocks,
// and the handheld started at the block after them gives the rest.
TEST_F(Verification, AContinuedBackupGivesTheWholeImage) {
  SimProcess sim(HANDHELD_SIM_PROGRAM, {"--offer", "nand", "--resume", "--bad-payload", "70"},
                 (dir / "sim.log").string());
  ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
  const fs::path partial = dir / "x.partial.nand", whole = dir / "y.nand";
  Result r = Tolvar(sim, "backup-nand", {}, dir / "x.nand");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("已接收的 2 块保存在 " + partial.string() + " (逻辑块 2h-3h).\r\n继续备份时, 文曲星应从第 4h 块开始发送."),
            std::string::npos)
      << r.output;
  const Bytes kept = ReadFile(partial);

  r = Tolvar(sim, "backup-nand", {"--continue", partial.string()}, whole);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("正在接收数据... 从第 4h 块继续"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(whole), WithTrailer(DefaultFlash().NandImage(), 2));
  EXPECT_EQ(ReadFile(partial), kept) << "the partial image is only read";
  ++summary.faults;
}

// --- the fault matrix ---

// Data frames of each transfer with the default flash and images.
constexpr int kNorFrames = 8 * 128, kNandFrames = 4 * 32;
constexpr int kNorRepairFrames = 6 * 128, kNandRepairFrames = 3 * 32;  // pages 02- of 8; 3 blocks

std::vector<int> FirstMiddleLast(int frames) { return {0, frames / 2, frames - 1}; }

TEST_F(EndToEnd, BackupFaultsEndTheBackupAndKeepTheOldFile) {
  for (const auto& [kind, frames] : {std::pair{Kind::BackupNor, kNorFrames}, std::pair{Kind::BackupNand, kNandFrames}}) {
    for (int k : FirstMiddleLast(frames)) {
      SCOPED_TRACE("frame " + std::to_string(k));
      // A NAND backup keeps the whole blocks before the frame that broke.
      const int kept = kind == Kind::BackupNand ? k / 32 : 0;
      EXPECT_EQ(Run({kind, {"--bad-header", std::to_string(k)}, {}, 1, 1}).keptBlocks, kept);
      EXPECT_EQ(Run({kind, {"--bad-payload", std::to_string(k)}, {}, 1, 1}).keptBlocks, kept);
      EXPECT_EQ(Run({kind, {"--silent-from", std::to_string(k)}, {}, 1, 1}).keptBlocks, kept);
    }
    const int all = kind == Kind::BackupNand ? 4 : 0;
    EXPECT_EQ(Run({kind, {"--bad-header", std::to_string(frames)}, {}, 1, 1}).keptBlocks, all);  // the end frame
    Run({kind, {"--junk", "7"}, {}, 0, 1});                            // ignored before the hello
  }
}

TEST_F(EndToEnd, RepairFaultsEndTheRepairAndKeepTheImage) {
  for (const auto& [kind, frames] :
       {std::pair{Kind::RepairNor, kNorRepairFrames}, std::pair{Kind::RepairNand, kNandRepairFrames}}) {
    for (int k : FirstMiddleLast(frames)) {
      SCOPED_TRACE("frame " + std::to_string(k));
      // A check error before the first frame is not looked at; later ones end the repair.
      // Every ending says what the handheld holds: untouched, or partly written, and for
      // NAND from which block on (frames 0 to k - 2 were confirmed).
      std::string left = k == 0 ? "没有向文曲星写入任何数据." : "文曲星只写入了一部分, 必须重新运行修复.";
      const std::string from = std::to_string(1 + (k - 1) / 32);
      if (kind == Kind::RepairNand && k > 0) left += " 第 " + from + " 块起未经文曲星确认, 请再修复 --blocks " + from + "-3.";
      const Outcome nak = Run({kind, {"--nak-at", std::to_string(k)}, {}, k == 0 ? 0 : 1, 1});
      if (k > 0) {
        EXPECT_NE(nak.output.find("文曲星端校验错!\n" + left), std::string::npos) << nak.output;
      }
      const Outcome silent = Run({kind, {"--silent-from", std::to_string(k)}, {}, 1, 1});
      EXPECT_NE(silent.output.find("请求超时,重试吗? (y/n) n\n" + left), std::string::npos) << silent.output;
    }
  }
}

// Ctrl-C, Ctrl-\, SIGTERM or a closed terminal (SIGHUP) cancels: the
// temporary file is gone, the old file kept, and the cancel says so in words.
TEST_F(EndToEnd, InterruptionsAtARandomFrameCancel) {
  std::random_device seedSource;
  const unsigned seed = seedSource();
  std::mt19937 random(seed);
  auto pick = [&](int frames) { return std::uniform_int_distribution<int>(1, frames - 2)(random); };
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::string backupWords = "已取消: 没有保存任何数据", repairWords = "文曲星只写入了一部分, 必须重新运行修复";
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    for (const Kind kind : {Kind::BackupNor, Kind::BackupNand}) {
      const int frame = pick(kind == Kind::BackupNor ? kNorFrames : kNandFrames);
      const Outcome out = Run({kind, {}, {}, 1, 1, frame, signal});
      // A kill or a closed terminal is no user's cancel: a NAND backup's whole blocks are saved first.
      const int kept = kind == Kind::BackupNand && (signal == SIGTERM || signal == SIGHUP) ? (frame + 1) / 32 : 0;
      EXPECT_NE(out.output.find(kept > 0 ? "已取消: " + (dir / "x.nand").string() + " 没有改变." : backupWords),
                std::string::npos)
          << out.output;
      EXPECT_EQ(out.keptBlocks, kept);
    }
  }
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal));
    Outcome out = Run({Kind::RepairNor, {}, {}, 1, 1, pick(kNorRepairFrames), signal});
    EXPECT_NE(out.output.find(repairWords), std::string::npos) << out.output;
    out = Run({Kind::RepairNand, {}, {}, 1, 1, pick(kNandRepairFrames), signal});
    EXPECT_NE(out.output.find(repairWords), std::string::npos) << out.output;
  }
}

// At a y/n question or the repair's reset prompt on a terminal, an
// interruption cancels at once instead of waiting for an answer.
TEST_F(EndToEnd, AnInterruptionAnswersAWaitingQuestion) {
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
  const std::string input = ptsname(terminal);
  // An edited NOR image: the repair corrects its check values before the
  // prompt, as fix-nor-checks does, and a cancel there says so.
  const fs::path edited = dir / "edited.nor", corrected = dir / "corrected.nor";
  Bytes image = ReadFile(NorImage());
  image[5 * nor::kPageSize] ^= 0xFF;
  WriteFile(edited, image);
  WriteFile(corrected, image);
  Child fix = Spawn({TOLVAR_PROGRAM, "fix-nor-checks", corrected.string()}, (dir / "fix.log").string());
  ASSERT_EQ(Wait(fix, 30s), 0) << Text(dir / "fix.log");
  const fs::path backupFile = dir / "x.nand";
  WriteFile(backupFile, Bytes{'o', 'l', 'd'});
  struct Waiting {
    const char* verb;
    std::vector<std::string> simArgs;
    const char* prompt;
    std::string words;
    fs::path file;
    Bytes after;  // the file afterwards
  };
  const Waiting cases[] = {
      {"backup-nand", {"--silent-from", "3", "--offer", "nand"}, "(y/n)", "已取消: 没有保存任何数据", backupFile,
       ReadFile(backupFile)},
      {"repair-nand", {}, "(Enter)", "已取消: 没有向文曲星写入任何数据.", NandImage(), ReadFile(NandImage())},
      {"repair-nor", {}, "(Enter)",
       "已取消: 没有向文曲星写入任何数据, 但映像文件中的校验值已经校正 (0x1FFF0-0x1FFF1, 0x1FFFE-0x1FFFF).", edited,
       ReadFile(corrected)},
  };
  for (const Waiting& w : cases) {
    SCOPED_TRACE(w.verb);
    SimProcess sim(HANDHELD_SIM_PROGRAM, w.simArgs, (dir / "sim.log").string());
    ASSERT_TRUE(sim.Ok()) << Text(dir / "sim.log");
    const fs::path log = dir / "tolvar.log";
    fs::remove(log);
    Child tolvar = Spawn({TOLVAR_PROGRAM, w.verb, "--port", sim.device, w.file.string()}, log.string(), false, input);
    bool asked = false;
    for (int i = 0; i < 3000 && !asked; ++i) {
      asked = Text(log).find(w.prompt) != std::string::npos;
      if (!asked) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(asked) << Text(log);
    std::this_thread::sleep_for(100ms);  // well inside its read
    kill(tolvar.pid, SIGINT);
    EXPECT_EQ(Wait(tolvar, 5s), 1) << "still waiting for an answer: " << Text(log);
    EXPECT_NE(Text(log).find(w.words), std::string::npos) << Text(log);
    EXPECT_EQ(ReadFile(w.file), w.after);
    EXPECT_FALSE(fs::exists(w.file.string() + ".temp"));
    ++summary.cases;
  }
  close(terminal);
}

// Corvane converting and tolvar joining, interrupted while they write: the
// temporary file is removed and the old target stays. The program is held
// (SIGSTOP) as soon as its temporary file appears, so that the signal lands
// mid-way however fast the disk is.
TEST_F(EndToEnd, InterruptedWhileWritingKeepsTheOldTarget) {
  const fs::path data = dir / "big.dat", target = dir / "big.nand", temporary = dir / "big.nand.temp";
  std::ofstream(dir / "a.nand", std::ios::binary).seekp(2000 * nand::kBlockSize) << '\2' << '\0';  // sparse
  WriteFile(dir / "b.nand", WithTrailer(Bytes(nand::kBlockSize), 2002));
  std::vector<std::vector<std::string>> writers = {
      {TOLVAR_PROGRAM, "join", (dir / "a.nand").string(), (dir / "b.nand").string(), target.string()}};
#ifdef CORVANE_PROGRAM
  WriteFile(data, RandomBytes(4000 * 16384, 3));
  writers.push_back({CORVANE_PROGRAM, "data2nand", "--start", "2", "--force", data.string(), target.string()});
#endif
  const int interruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  for (std::size_t run = 0; run < 4 * writers.size(); ++run) {
    const int signal = interruptions[run % 4];
    SCOPED_TRACE(writers[run / 4][1] + " " + strsignal(signal));
    WriteFile(target, Bytes{'o', 'l', 'd'});
    Child writer = Spawn(writers[run / 4], (dir / "writer.log").string());
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
      seen = fs::exists(temporary);
      if (!seen) std::this_thread::sleep_for(100us);
    }
    kill(writer.pid, SIGSTOP);
    ASSERT_TRUE(seen) << "no temporary file appeared";
    kill(writer.pid, signal);
    kill(writer.pid, SIGCONT);
    EXPECT_EQ(Wait(writer, 30s), 1) << Text(dir / "writer.log");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
    ++summary.cases;
  }
}

// A window with nothing running ends at once when interrupted.
TEST_F(EndToEnd, IdleWindowsEndWhenInterrupted) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::vector<std::string> programs = {TOLVAR_PROGRAM};
#ifdef CORVANE_PROGRAM
  programs.push_back(CORVANE_PROGRAM);
#endif
  for (const std::string& program : programs) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      SCOPED_TRACE(program + " " + strsignal(signal));
      Child window = Spawn({program}, (dir / "window.log").string());
      std::this_thread::sleep_for(500ms);
      kill(window.pid, signal);
      EXPECT_EQ(Wait(window, 10s), 0) << Text(dir / "window.log");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // for the serial port that checks the line is free
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new SummaryPrinter);
  return RUN_ALL_TESTS();
}
