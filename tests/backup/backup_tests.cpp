#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#ifdef __unix__
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <deque>

#include "backup/backup.h"
#include "backup_sender.h"
#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/system_reason.h"
#include "common/temporary_file.h"
#include "support/files.h"
#include "support/transfer_rig.h"

namespace fs = std::filesystem;
using Flash = BackupSender::Flash;

namespace {

const char kTimeoutQuestion[] = "接收数据超时,您要重新开始备份吗?";
const char kRestartQuestion[] = "您要重新开始备份吗?";
const char kLostQuestion[] = "串口已断开!\r\nsim: 设备已断开\r\n您要重新开始备份吗?";

class BackupTest : public TransferTest {
 public:
  fs::path file = dir / "x.img";
  std::unique_ptr<BackupSender> sender;
  Bytes image;

  // A handheld holding `frames` frames of random flash.
  BackupSender& Handheld(Flash flash, int frames, int firstBlock = 0, long speed = 921600) {
    const std::size_t size = flash == Flash::Nor ? 256 : 528;
    image = RandomBytes(size * frames, static_cast<unsigned>(frames * 7 + firstBlock));
    sender = std::make_unique<BackupSender>(flash, image, speed, firstBlock);
    port.Attach(sender.get());
    return *sender;
  }

  BackupEnding Run(Flash flash) {
    m.ImagePath = Utf8FromPath(file);
    return flash == Flash::Nor ? SaveNor(m) : SaveNand(m);
  }

  void PutExistingFile() { std::ofstream(file, std::ios::binary) << "precious"; }
  void ExpectNothingLost() {
    EXPECT_EQ(ReadFile(file), Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_FALSE(fs::exists(dir / "x.img.temp"));
    EXPECT_FALSE(fs::exists(dir / "x.img.partial.nand")) << "no whole NAND block arrived to keep";
    EXPECT_FALSE(port.isOpen);
    EXPECT_FALSE(host.locked);
  }
};

TEST_F(BackupTest, NorBackupStoresEveryFrameAndReportsSuccess) {
  Handheld(Flash::Nor, 2 * 128 + 5).faults.junkBeforeHello = 3;
  sender->faults.junkBeforeAnnounce = 2;
  PutExistingFile();
  host.onDialog = [this](const std::string&) { m.RequestCancel(); };  // once renamed, too late to cancel

  EXPECT_EQ(Run(Flash::Nor), BackupEnding::Success);

  EXPECT_EQ(ReadFile(file), image);
  EXPECT_FALSE(fs::exists(dir / "x.img.temp"));
  EXPECT_EQ(host.messages, std::vector<std::string>{"备份系统Nor成功!"});
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600}));
  // 03 answers the hello at the base speed; every 06 goes out at the model's speed.
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u + 2 * 128 + 5 + 1);
  EXPECT_EQ(sent[0], std::make_pair(std::uint8_t{0x03}, 115200L));
  for (std::size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i], std::make_pair(std::uint8_t{0x06}, 921600L));
  // The current bar counts frames of a page: 1..128, then 1 again.
  ASSERT_GE(host.currentValues.size(), 2u * 128 + 5);
  EXPECT_EQ(host.current.maximum, 128);
  EXPECT_EQ(std::count(host.currentValues.begin(), host.currentValues.end(), 128), 2);
  EXPECT_EQ(std::count(host.currentValues.begin(), host.currentValues.end(), 1), 3);
  EXPECT_EQ(host.log.front(), "lock");
  EXPECT_EQ(host.statusHistory[0], "正在与文曲星连接...");
  EXPECT_EQ(host.statusHistory[1], "正在接收数据...");
  EXPECT_EQ(host.statusHistory.back(), "正在接收数据... 已收到 2 页");
  EXPECT_FALSE(host.locked);
  EXPECT_EQ(host.unloads, 1);
  EXPECT_FALSE(port.isOpen);
}

TEST_F(BackupTest, NandBackupEndsWithTheStartingLogicalBlock) {
  struct Case {
    int firstBlock;
    std::uint8_t low, high;
  };
  for (const Case c : {Case{0x0C31, 0x33, 0x0C}, Case{0x1FFF, 0x01, 0x00}, Case{0, 0x02, 0x00}}) {
    SCOPED_TRACE(c.firstBlock);
    Handheld(Flash::Nand, 32, c.firstBlock, 230400);
    host.model = "2000系列";
    EXPECT_EQ(Run(Flash::Nand), BackupEnding::Success);
    Bytes expected = image;
    expected.push_back(c.low);
    expected.push_back(c.high);
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_EQ(fs::file_size(file), 16898u);
    EXPECT_EQ(host.messages.back(), "备份系统Nand成功!");
    EXPECT_EQ(port.speeds.back(), 230400);
  }
}

TEST_F(BackupTest, NandProgressCountsPagesOfABlock) {
  Handheld(Flash::Nand, 2 * 32 + 3, 0x20);
  EXPECT_EQ(Run(Flash::Nand), BackupEnding::Success);
  EXPECT_EQ(host.counts, (std::vector<std::string>{"已收到 0 块", "已收到 0 块", "已收到 1 块 (22h)", "已收到 2 块 (22h-23h)"}));
  EXPECT_EQ(host.current.maximum, 32);
  EXPECT_EQ(std::count(host.currentValues.begin(), host.currentValues.end(), 32), 2);
  EXPECT_EQ(std::count(host.currentValues.begin(), host.currentValues.end(), 3), 3);
}

TEST_F(BackupTest, EndFrameFirstGivesAnEmptyImage) {
  Handheld(Flash::Nor, 0);
  EXPECT_EQ(Run(Flash::Nor), BackupEnding::Success);
  EXPECT_EQ(fs::file_size(file), 0u);
  Handheld(Flash::Nand, 0);
  EXPECT_EQ(Run(Flash::Nand), BackupEnding::Success);
  EXPECT_EQ(ReadFile(file), Bytes({0x02, 0x00}));
}

// Every way a backup can fail leaves the chosen file as it was and no
// temporary file behind, and says what the user needs to hear.
struct FailureCase {
  const char* name;
  Flash flash;
  std::function<void(BackupTest&, SimPort&, BackupSender&, Module1&)> arrange;
  BackupEnding ending;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class BackupFailure : public BackupTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BackupFailure, LeavesTheChosenFileUntouched) {
  const FailureCase& c = GetParam();
  BackupSender& handheld = Handheld(c.flash, 40, 0x100);
  PutExistingFile();
  c.arrange(*this, port, handheld, m);

  EXPECT_EQ(Run(c.flash), c.ending);
  SetSlowFlush(nullptr);

  EXPECT_EQ(host.messages, c.messages);
  EXPECT_EQ(host.questions, c.questions);
  ExpectNothingLost();
}

const FailureCase kFailures[] = {
    {"HeaderCheck", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.badHeaderAt = 7; }, BackupEnding::Error,
     {"接收数据时校验错1!"}, {kRestartQuestion}},
    {"HeaderCheckOfTheEndFrame", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.badHeaderAt = 40; },
     BackupEnding::Error, {"接收数据时校验错1!"}, {kRestartQuestion}},
    {"PayloadCheck", Flash::Nand, [](auto&, auto&, auto& h, auto&) { h.faults.badPayloadAt = 0; }, BackupEnding::Error,
     {"接收数据时校验错2!"}, {kRestartQuestion}},
    {"PayloadCheckOfTheLastFrame", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.badPayloadAt = 39; },
     BackupEnding::Error, {"接收数据时校验错2!"}, {kRestartQuestion}},
    {"NotFromPageZero", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.firstPage = 1; }, BackupEnding::Error,
     {"请从00页开始发送!"}, {kRestartQuestion}},
    {"NoBlockNumber", Flash::Nand, [](auto&, auto&, auto& h, auto&) { h.faults.firstHeaderByte0 = 0x85; },
     BackupEnding::Error, {"第一帧的块号无效(高字节大于80h),无法确定开始逻辑块号!"}, {kRestartQuestion}},
    {"SilentBeforeAFrame", Flash::Nand, [](auto&, auto&, auto& h, auto&) { h.faults.silentFrom = 20; },
     BackupEnding::Timeout, {}, {kTimeoutQuestion}},
    {"SilentInsideAFrame", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.silentInFrameAt = 0; },
     BackupEnding::Timeout, {}, {kTimeoutQuestion}},
    {"SilentBeforeTheEndFrame", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.faults.silentFrom = 40; },
     BackupEnding::Timeout, {}, {kTimeoutQuestion}},
    {"NoHello", Flash::Nor, [](auto&, auto&, auto& h, auto&) { h.autoStart = false; }, BackupEnding::TimeoutBeforeFile,
     {}, {kTimeoutQuestion}},
    {"PortRefusesBytes", Flash::Nand, [](auto&, auto& p, auto&, auto&) { p.putchRefusals = -1; },
     BackupEnding::TimeoutBeforeFile, {}, {kTimeoutQuestion}},
    {"SpeedRefused", Flash::Nor, [](auto&, auto& p, auto&, auto&) { p.refusedSpeeds.insert(921600); },
     BackupEnding::SpeedError, {"更改串口设置时出错!"}, {}},
    {"UnknownModel", Flash::Nand, [](auto& t, auto&, auto&, auto&) { t.host.model = "NC2000"; },
     BackupEnding::SpeedError, {"更改串口设置时出错!"}, {}},
    {"PortDoesNotOpen", Flash::Nor, [](auto&, auto& p, auto&, auto&) { p.failOpen = true; }, BackupEnding::PortFailed,
     {"串口打开失败!"}, {}},
    // A device that goes away ends the wait at once, without the time-out.
    {"DeviceGoneInAFrame", Flash::Nand,
     [](auto&, auto& p, auto& h, auto&) {
       p.onPoll = [&p, &h] { p.lost = p.lost || h.framesSent == 13; };
     },
     BackupEnding::PortLost, {}, {kLostQuestion}},
    {"DeviceGoneAndStillGoneWhenStartedAgain", Flash::Nor,
     [](auto& t, auto& p, auto& h, auto&) {
       p.onPoll = [&p, &h] { p.lost = p.lost || h.framesSent == 13; };
       t.host.answers = {true};
       t.host.onDialog = [&p](const std::string&) { p.failOpen = true; };
     },
     BackupEnding::PortFailed, {"串口打开失败!"}, {kLostQuestion}},
    {"CancelDuringAFrame", Flash::Nand,
     [](auto&, auto& p, auto& h, auto& mod) {
       p.onPoll = [&h, &mod] {
         if (h.framesSent == 13) mod.RequestCancel();
       };
     },
     BackupEnding::Cancel, {}, {}},
    {"CancelWhileWaitingForTheHello", Flash::Nor,
     [](auto& t, auto&, auto& h, auto& mod) {
       h.autoStart = false;
       t.host.onEvents = [&mod] { mod.RequestCancel(); };
     },
     BackupEnding::Cancel, {}, {}},
    // The image is complete, but the rename has not happened yet: not a success.
    {"CancelWhileTheImageIsFlushed", Flash::Nand,
     [](auto&, auto&, auto&, auto& mod) { SetSlowFlush([&mod] { mod.RequestCancel(); }); }, BackupEnding::Cancel, {},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Endings, BackupFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BackupTest, YesAfterATimeOutStartsAgainAtTheBaseSpeed) {
  Handheld(Flash::Nand, 70, 0x31).faults.silentFrom = 35;
  host.answers = {true};
  PutExistingFile();

  EXPECT_EQ(Run(Flash::Nand), BackupEnding::Success);

  EXPECT_EQ(host.questions, std::vector<std::string>{std::string(kTimeoutQuestion) +
                                                     "\r\n已收到逻辑块 33h. 继续备份时, 文曲星应从第 34h 块开始发送."});
  EXPECT_EQ(port.speeds, (std::vector<long>{115200, 921600, 115200, 921600}));
  EXPECT_EQ(ReadFile(file), WithTrailer(image, 0x33)) << "the second attempt starts from an empty file";
  EXPECT_EQ(sender->attempt, 2);
}

TEST_F(BackupTest, YesAfterAnErrorStartsAgainUntilTheUserSaysNo) {
  Handheld(Flash::Nor, 3).faults.badPayloadAt = 1;
  sender->faults.attempts = 2;
  host.answers = {true, false};
  PutExistingFile();
  EXPECT_EQ(Run(Flash::Nor), BackupEnding::Error);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"接收数据时校验错2!", "接收数据时校验错2!"}));
  EXPECT_EQ(host.questions.size(), 2u);
  ExpectNothingLost();
}

TEST_F(BackupTest, AFileThatCannotBeReplacedKeepsTheReceivedImage) {
  Handheld(Flash::Nor, 4);
  // A folder appears where the image should go while the frames arrive.
  port.onPoll = [this] {
    if (sender->framesSent == 2) fs::create_directories(file);
  };

  EXPECT_EQ(Run(Flash::Nor), BackupEnding::ReplaceFailed);

  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find(file.string()), std::string::npos);
  EXPECT_NE(host.messages[0].find(file.string() + ".temp"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "x.img.temp"), image);
  EXPECT_TRUE(fs::is_directory(file));
}

#ifdef __unix__
TEST_F(BackupTest, AFullDiskLosesNothingAndClaimsNothing) {
  Handheld(Flash::Nor, 40);
  PutExistingFile();
  // A file-size limit stands in for a full disk: writes past 4 KiB fail.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const BackupEnding ending = Run(Flash::Nor);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);

  // The write that meets the limit ends the backup, with the system's reason.
  EXPECT_EQ(ending, BackupEnding::Error);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("x.img.temp: " + SystemReason(EFBIG)), std::string::npos) << host.messages[0];
  EXPECT_LE(sender->framesSent, 17);
  ExpectNothingLost();
}
#endif

TEST_F(BackupTest, AnImpossibleTemporaryFileIsReportedNotIgnored) {
  Handheld(Flash::Nand, 4);
  file = dir / "gone" / "x.nand";
  fs::create_directory(dir / "gone");
  port.onPoll = [this] { fs::remove_all(dir / "gone"); };  // after the check, before the file
  EXPECT_EQ(Run(Flash::Nand), BackupEnding::Error);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("x.nand.temp"), std::string::npos);
  EXPECT_FALSE(fs::exists(file));
}

// What stands at the chosen name, or beside it, and what becomes of it.
struct TargetCase {
  const char* name;
  std::function<void(BackupTest&)> arrange;  // in dir, before the run; may change `file`
  BackupEnding ending;
  const char* message;  // a text the one message holds; "" for the success message
  std::function<void(BackupTest&)> check;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class BackupTarget : public BackupTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(BackupTarget, IsWrittenOnlyWhereItMayBe) {
  const TargetCase& c = GetParam();
  Handheld(Flash::Nand, 40, 0x100);
  c.arrange(*this);
  const std::string chosen = Utf8FromPath(file);

  EXPECT_EQ(Run(Flash::Nand), c.ending);

  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find(*c.message ? c.message : "备份系统Nand成功!"), std::string::npos) << host.messages[0];
  if (c.ending == BackupEnding::TargetRefused) {
    EXPECT_NE(host.messages[0].find(chosen), std::string::npos) << "the message names the path";
    EXPECT_EQ(port.opens, 0) << "refused before the port opens";
  }
  c.check(*this);
  EXPECT_FALSE(port.isOpen);
}

Bytes Precious() { return {'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}; }

const TargetCase kTargets[] = {
    {"ALeftoverTemporaryFileSurvives",
     [](BackupTest& t) { WriteFile(t.dir / "x.img.temp", Precious()); }, BackupEnding::Success, "",
     [](BackupTest& t) {
       EXPECT_EQ(ReadFile(t.file), WithTrailer(t.image, 0x102));
       EXPECT_EQ(ReadFile(t.dir / "x.img.temp"), Precious());
       EXPECT_FALSE(fs::exists(t.dir / "x.img.1.temp"));
     }},
    {"ANameOf255Bytes",
     [](BackupTest& t) { t.file = t.dir / PathFromUtf8(std::string(244, 'n') + "文件.nand"); },
     BackupEnding::Success, "",
     [](BackupTest& t) {
       EXPECT_EQ(ReadFile(t.file), WithTrailer(t.image, 0x102));
       EXPECT_EQ(std::distance(fs::directory_iterator(t.dir), fs::directory_iterator()), 1);
     }},
    {"AReadOnlyFileIsRefused",
     [](BackupTest& t) {
       WriteFile(t.file, Precious());
       fs::permissions(t.file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                       fs::perm_options::remove);
     },
     BackupEnding::TargetRefused, "这是只读文件,不能替换",
     [](BackupTest& t) {
       EXPECT_EQ(ReadFile(t.file), Precious());
       fs::permissions(t.file, fs::perms::owner_write, fs::perm_options::add);  // Windows deletes no read-only file
     }},
    {"AFileMadeReadOnlyMeanwhileIsRefusedOnce",
     [](BackupTest& t) {
       t.port.onPoll = [&t] {
         if (!fs::exists(t.file)) WriteFile(t.file, Precious()), fs::permissions(t.file, fs::perms::owner_read);
       };
     },
     BackupEnding::ReplaceFailed, ": 这是只读文件,不能替换!\r\n已接收的数据保存在 ",
     [](BackupTest& t) {
       EXPECT_EQ(t.host.messages[0].find("无法保存为"), t.host.messages[0].rfind("无法保存为")) << "said once";
       fs::permissions(t.file, fs::perms::owner_write, fs::perm_options::add);
     }},
#ifdef __unix__  // a symbolic link needs a privilege on Windows, a FIFO is POSIX; so do permission bits
    {"APrivateFileStaysPrivate",
     [](BackupTest& t) {
       WriteFile(t.file, Precious());
       fs::permissions(t.file, fs::perms::owner_read | fs::perms::owner_write);
     },
     BackupEnding::Success, "",
     [](BackupTest& t) {
       EXPECT_EQ(ReadFile(t.file), WithTrailer(t.image, 0x102));
       EXPECT_EQ(fs::status(t.file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
     }},
    {"ASymbolicLinkIsFollowed",
     [](BackupTest& t) {
       WriteFile(t.dir / "real.img", Precious());
       fs::create_symlink("real.img", t.file);
     },
     BackupEnding::Success, "",
     [](BackupTest& t) {
       EXPECT_TRUE(fs::is_symlink(t.file)) << "the link stays";
       EXPECT_EQ(ReadFile(t.dir / "real.img"), WithTrailer(t.image, 0x102));
       EXPECT_EQ(std::distance(fs::directory_iterator(t.dir), fs::directory_iterator()), 2);
     }},
    {"AFifoIsRefused",
     [](BackupTest& t) { ASSERT_EQ(mkfifo(t.file.c_str(), 0600), 0); }, BackupEnding::TargetRefused, "命名管道",
     [](BackupTest& t) { EXPECT_TRUE(fs::is_fifo(t.file)); }},
#endif
};

INSTANTIATE_TEST_SUITE_P(Targets, BackupTarget, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

// A full disk or a failing drive ends the backup at the write that meets it,
// with the system's reason, and keeps the old file.
TEST_F(BackupTest, AWriteErrorEndsTheBackupWhenItHappens) {
  for (const Flash flash : {Flash::Nor, Flash::Nand}) {
    SCOPED_TRACE(flash == Flash::Nor ? "NOR" : "NAND");
    Handheld(flash, 200);
    PutExistingFile();
    host = FakeHost();
    SetWriteFault([](std::uint64_t written, std::size_t) { return written >= 5 * 528 ? ENOSPC : 0; });
    const BackupEnding ending = Run(flash);
    SetWriteFault(nullptr);

    EXPECT_EQ(ending, BackupEnding::Error);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("x.img.temp: " + SystemReason(ENOSPC)), std::string::npos) << host.messages[0];
    EXPECT_EQ(host.questions, std::vector<std::string>{kRestartQuestion});
    EXPECT_EQ(host.noDefaults, 1) << "--retries would answer Yes on a full disk for ever";
    EXPECT_LE(sender->framesSent, 12) << "the backup went on after the disk was full";
    ExpectNothingLost();
  }
}

// Two backups to one file at the same time, the second running while the
// first waits for its frames: each writes its own temporary file and both
// end soundly; the file holds the one that finished last.
TEST_F(BackupTest, TwoBackupsToOneFileBothEndSoundly) {
  Handheld(Flash::Nand, 64, 0x40);
  PutExistingFile();
  TransferRig other;
  const Bytes otherImage = RandomBytes(528 * 32, 99);
  BackupSender otherSender(Flash::Nand, otherImage, 921600, 0x10);
  other.port.Attach(&otherSender);
  other.m.ImagePath = file.string();
  BackupEnding otherEnding = BackupEnding::PortFailed;
  bool started = false;
  port.onPoll = [&] {
    if (sender->framesSent != 10 || started) return;
    started = true;
    otherEnding = SaveNand(other.m);
    EXPECT_TRUE(fs::exists(dir / "x.img.temp")) << "the first backup's data is still there";
  };

  EXPECT_EQ(Run(Flash::Nand), BackupEnding::Success);

  EXPECT_EQ(otherEnding, BackupEnding::Success);
  EXPECT_EQ(other.host.messages, std::vector<std::string>{"备份系统Nand成功!"});
  EXPECT_EQ(host.messages, std::vector<std::string>{"备份系统Nand成功!"});
  EXPECT_EQ(ReadFile(file), WithTrailer(image, 0x42));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary file left";
}

void Nothing(BackupTest&) {}
void LoseTheEndFrame(BackupTest& t) {
  t.sender->faults.badPayloadAt = -1;
  t.sender->faults.badHeaderAt = 4 * 32;
}

// A NAND backup keeps the whole blocks that arrived. A restart whose first
// frame names the block after them continues them, one that names a block
// among them goes on from there; any other start saves them as
// x.img.partial.nand and begins afresh, exactly as without them. A backup
// that ends without success saves them there too; a cancel keeps nothing.
struct KeptCase {
  const char* name;
  bool resume;            // the handheld starts again where it broke (else at `restartAt`)
  int restartAt;          // the block it starts again at when it does not resume
  std::deque<bool> answers;
  BackupEnding ending;
  int fileFrom, fileBlocks;  // the chosen file holds these blocks of the flash (0 blocks: as it was)
  int partialBlocks;         // the first blocks of the flash in x.img.partial.nand (0: no such file)
  const char* status;        // a status line shown on the way ("": none continued)
  std::function<void(BackupTest&)> arrange = Nothing;
  int firstBlock = 0x100;    // block code of the flash's first block
  const char* says = "";     // in the last message
  bool temporaryKept = false;  // x.img.temp is left to the user
};

void PrintTo(const KeptCase& c, std::ostream* os) { *os << c.name; }

class KeptBlocks : public BackupTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(KeptBlocks, GoOnOnlyWhereTheyEnd) {
  const KeptCase& c = GetParam();
  Handheld(Flash::Nand, 4 * 32, c.firstBlock).faults.badPayloadAt = 40;  // in the second block
  sender->resume = c.resume;
  host.answers = c.answers;
  host.onDialog = [this, &c](const std::string&) { sender->startBlock = c.restartAt; };
  PutExistingFile();
  c.arrange(*this);
  const BackupEnding ending = Run(Flash::Nand);
  SetWriteFault(nullptr);

  EXPECT_EQ(ending, c.ending);
  const int start = nand::LogicalBlockOfCode(c.firstBlock);
  const auto blocks = [&](int from, int count) {
    return WithTrailer(Bytes(image.begin() + from * nand::kBlockSize, image.begin() + (from + count) * nand::kBlockSize),
                       static_cast<unsigned>(start + from));
  };
  EXPECT_EQ(ReadFile(file), c.fileBlocks ? blocks(c.fileFrom, c.fileBlocks) : Precious());
  const fs::path partial = dir / "x.img.partial.nand";
  EXPECT_EQ(ReadFile(partial), c.partialBlocks ? blocks(0, c.partialBlocks) : Bytes());
  const std::string said = host.messages.empty() ? "" : host.messages.back();
  if (c.partialBlocks) {
    const auto range = BlockRangeHex(static_cast<unsigned>(start), static_cast<unsigned>(start + c.partialBlocks - 1));
    EXPECT_NE(said.find("保存在 " + partial.string() + " (逻辑块 " + range + ")"), std::string::npos) << said;
  }
  EXPECT_NE(said.find(c.says), std::string::npos) << said;
  const auto& statuses = host.statusHistory;
  const bool continued =
      std::any_of(statuses.begin(), statuses.end(), [](const std::string& s) { return s.find("继续") != std::string::npos; });
  EXPECT_EQ(continued, *c.status != 0);
  EXPECT_TRUE(!*c.status || std::find(statuses.begin(), statuses.end(), c.status) != statuses.end()) << c.status;
  EXPECT_EQ(fs::exists(dir / "x.img.temp"), c.temporaryKept);
  EXPECT_FALSE(port.isOpen);
}

const KeptCase kKept[] = {
    {"ARestartThatContinuesAppends", true, 0, {true}, BackupEnding::Success, 0, 4, 0,
     "正在接收数据... 从第 103h 块继续 已收到 4 块 (102h-105h)"},
    {"ARestartAtTheFirstKeptBlockGoesOn", false, 0, {true}, BackupEnding::Success, 0, 4, 0,
     "正在接收数据... 从第 102h 块继续 已收到 1 块 (102h)"},
    {"ARestartAmongTheKeptBlocksGoesOnFromThere", false, 1, {true}, BackupEnding::Success, 0, 4, 0,
     "正在接收数据... 从第 103h 块继续 已收到 2 块 (102h-103h)",
     [](BackupTest& t) { t.sender->faults.badPayloadAt = 80; }},  // in the third block
    // Blocks sent again pass by: the held ones stay until the attempt is past them.
    {"ARestartAmongTheKeptBlocksThatBreaksKeepsThemAll", false, 0, {true, false}, BackupEnding::Error, 0, 0, 2,
     "正在接收数据... 从第 102h 块继续 已收到 2 块 (102h-103h)",
     [](BackupTest& t) {
       t.sender->faults = {.badPayloadAt = 80, .attempts = 2};
       t.host.onDialog = [&t](const std::string&) { t.sender->faults.badPayloadAt = 40; };
     }},
    {"ARestartAtAnotherBlockKeepsThemApart", false, 2, {true}, BackupEnding::Success, 2, 2, 1, "", Nothing, 0x100,
     "文曲星从第 104h 块开始发送, 接不上已收到的块: 已接收的 1 块保存在 "},
    // The rest of the frame that broke, waiting in the port (here a hello, an
    // announcement and a header), is dropped, not taken for the next attempt's.
    {"ARestartAfterAHeaderErrorNeedsOneYes", true, 0, {true}, BackupEnding::Success, 0, 4, 0,
     "正在接收数据... 从第 103h 块继续 已收到 1 块 (102h)",
     [](BackupTest& t) {
       std::swap(t.sender->faults.badPayloadAt, t.sender->faults.badHeaderAt);
       static const std::uint8_t rest[] = {0x08, 0xAA, 1, 2, 3, 4, 5, 6, 0};
       t.host.onDialog = [&t](const std::string&) { t.port.Send(rest, sizeof rest, 115200); };
     }},
    {"Block1IsFollowedByCode0000", true, 0, {true}, BackupEnding::Success, 0, 4, 0,
     "正在接收数据... 从第 2h 块继续 已收到 4 块 (1h-4h)", Nothing, 0x1FFF},
    {"ANoKeepsTheWholeBlocks", false, 0, {}, BackupEnding::Error, 0, 0, 1, "", Nothing, 0x100,
     ").\r\n继续备份时, 文曲星应从第 103h 块开始发送.\r\n接着备份用 tolvar backup-nand --continue, 或者"},
    // The end frame may be what broke: no block is promised after the kept ones.
    {"ALostEndFrameLeavesTheNextBlockOpen", false, 0, {}, BackupEnding::Error, 0, 0, 4, "", LoseTheEndFrame, 0x100,
     "继续备份时, 文曲星还有更多块的话, 应从第 106h 块开始发送."},
    {"NoBlockFollowsLogicalBlockFFFh", false, 0, {}, BackupEnding::Error, 0, 0, 4, "", LoseTheEndFrame, 0xFFA,
     "(逻辑块 FFCh-FFFh).\r\n逻辑块 FFFh 是最后一块, 不必再接着备份."},
    {"ANoAfterAContinuationKeepsAllOfThem", true, 0, {true, false}, BackupEnding::Error, 0, 0, 2,
     "正在接收数据... 从第 103h 块继续 已收到 2 块 (102h-103h)",
     [](BackupTest& t) { t.sender->faults.attempts = 2; }},  // the second attempt breaks in block 2
    {"AWriteErrorKeepsTheWholeBlocks", false, 0, {}, BackupEnding::Error, 0, 0, 1, "",
     [](BackupTest& t) {
       t.sender->faults.badPayloadAt = -1;
       SetWriteFault([](std::uint64_t written, std::size_t) { return written >= 40 * 528 ? ENOSPC : 0; });
     }},
    // A disk that is full at a block's end takes the trailer in place of the last block.
    {"AFullDiskKeepsOneBlockLess", false, 0, {}, BackupEnding::Error, 0, 0, 1, "",
     [](BackupTest& t) {
       t.sender->faults.badPayloadAt = -1;
       SetWriteFault([](std::uint64_t at, std::size_t count) { return at + count > 2 * nand::kBlockSize ? ENOSPC : 0; });
     },
     0x100, "已接收的 2 块中的前 1 块保存在 "},
    {"AnImageThatCannotBeSavedIsLeftWhereItIs", false, 0, {}, BackupEnding::Error, 0, 0, 0, "",
     [](BackupTest&) { SetWriteFault([](std::uint64_t, std::size_t count) { return count == 2 ? EIO : 0; }); },
     0x100, "已接收的 1 块无法保存: ", true},
    {"ASpeedErrorAtTheRestartKeepsThem", false, 0, {true}, BackupEnding::SpeedError, 0, 0, 1, "",
     [](BackupTest& t) { t.host.onDialog = [&t](const std::string&) { t.port.refusedSpeeds.insert(921600); }; }},
    {"TheEndFrameAfterTheKeptBlocksCompletesThem", false, 4, {true}, BackupEnding::Success, 0, 4, 0, "",
     LoseTheEndFrame},
    {"ACancelKeepsNothing", true, 0, {true}, BackupEnding::Cancel, 0, 0, 0,
     "正在接收数据... 从第 103h 块继续 已收到 2 块 (102h-103h)",
     [](BackupTest& t) {
       t.port.onPoll = [&t] {
         if (t.sender->attempt == 2 && t.sender->framesSent == 40) t.m.RequestCancel();
       };
     }},
};

INSTANTIATE_TEST_SUITE_P(Restarts, KeptBlocks, ::testing::ValuesIn(kKept),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
