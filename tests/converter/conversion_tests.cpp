#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "common/file_exists.h"
#include "common/image_layout.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "converter/conversions.h"
#include "converter/messages.h"
#include "recording_host.h"
#include "support/files.h"
#include "support/temp_folder.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace nand;

namespace {

const char kPathWrong[] = "打开的文件路径错误!\r\n请重新填写.";
const char kSizeWrong[] = "打开的文件大小错误!\r\n请重新填写.";
const char kTargetMissing[] = "请先填写保存路径!";
const char kSamePath[] = "文件路径相同,请重新填写!";
const char kOverwrite[] = "文件已存在,要覆盖吗?";
const char kSuccess[] = "转换成功!";

Bytes SpareOf(const Bytes& image, std::size_t block, int page) {
  const auto at = image.begin() + static_cast<std::ptrdiff_t>(block * kBlockSize + (page - 1) * kPageSize + kPageData);
  return Bytes(at, at + kSpareSize);
}

class ConversionTest : public TempFolderTest {
 protected:
  RecordingHost host;

  ConversionResult ToData(const std::string& source, const std::string& target) {
    return Nand2Data(host, source, target);
  }
  ConversionResult ToNand(const std::string& source, const std::string& target, const std::string& start) {
    return Data2Nand(host, source, target, start);
  }
  // Nothing but the folder's own files: no target, no temporary file.
  void ExpectFolderHolds(std::initializer_list<std::string> names) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
      ++count;
      EXPECT_NE(std::find(names.begin(), names.end(), entry.path().filename().string()), names.end())
          << "unexpected " << entry.path();
    }
    EXPECT_EQ(count, names.size());
  }
  void ExpectWindowBackToRest() {
    EXPECT_TRUE(host.convertEnabled);
    EXPECT_EQ(host.value, 0);
  }
};

}  // namespace

TEST_F(ConversionTest, NandToDataKeepsThePageDataOnly) {
  const Bytes blocks = RandomBytes(2 * kBlockSize, 1);
  WriteFile(At("x.nand"), WithTrailer(blocks, 0x0C32));
  bool disabledWhileCopying = true;
  host.onEvents = [&] { disabledWhileCopying &= !host.convertEnabled; };
  host.answers = {true};

  EXPECT_EQ(ToData(At("x.nand"), At("x.dat")), ConversionResult::Success);

  const Bytes data = ReadFile(At("x.dat"));
  ASSERT_EQ(data.size(), 2 * kDataBlockSize);
  for (std::size_t page = 0; page < 64; ++page)
    ASSERT_TRUE(std::equal(data.begin() + page * 512, data.begin() + page * 512 + 512, blocks.begin() + page * 528))
        << "page " << page;
  // Random spare areas: every page is damaged.
  EXPECT_EQ(host.log, (std::vector<std::string>{"question 文件对应的开始逻辑块号为C32h,转换?", "disabled",
                                                std::string("message ") + kSuccess, "enabled",
                                                "message " + text::WrongPagesCopied(0, 64)}));
  EXPECT_TRUE(disabledWhileCopying);
  EXPECT_EQ(host.events, 64 + 1);  // once a page, and once more before the rename
  EXPECT_EQ(host.maximum, 2);
  EXPECT_EQ(host.values, (std::vector<int>{1, 2, 0}));
  ExpectFolderHolds({"x.nand", "x.dat"});
}

TEST_F(ConversionTest, NandToDataSaysHowManyPagesCarryWrongBits) {
  WriteFile(At("x.dat"), RandomBytes(2 * kDataBlockSize, 3));
  ASSERT_EQ(ToNand(At("x.dat"), At("good.nand"), "C32"), ConversionResult::Success);
  const Bytes good = ReadFile(At("good.nand"));
  struct Case {
    std::vector<std::size_t> flips;  // bit 2 of these image bytes
    std::vector<std::string> said;
  };
  const std::string oneDamaged =
      "注意: Nand文件中有 1页已损坏(备用区不符, 数据可能有误), 已原样转换.\r\n请再读一次文曲星与映像比较 (tolvar verify-nand), "
      "或与另一份备份比较 (tolvar compare); 否则改回Nand时, 新的校验会把错误的位当作正确的.";
  for (const Case& c : {Case{{}, {kSuccess}},
                        Case{{kPageSize + 100}, {kSuccess, text::WrongPagesCopied(1, 0)}},
                        Case{{kPageData + 7}, {kSuccess}},                     // an ECC bit: the data is right
                        Case{{100, 101}, {kSuccess, oneDamaged}},              // two bits of one page: beyond the ECC
                        Case{{100, kBlockSize + 31 * kPageSize}, {kSuccess, text::WrongPagesCopied(2, 0)}},
                        Case{{100, 101, kBlockSize + 100}, {kSuccess, text::WrongPagesCopied(1, 1)}}}) {
    Bytes image = good;
    for (const std::size_t at : c.flips) image[at] ^= 0x04;
    WriteFile(At("x.nand"), image);
    host.messages.clear();
    host.answers = {true, true};
    EXPECT_EQ(ToData(At("x.nand"), At("y.dat")), ConversionResult::Success);
    EXPECT_EQ(host.messages, c.said) << c.flips.size();
    const Bytes data = ReadFile(At("y.dat"));  // the page data as it stands
    for (std::size_t page = 0; page < 64; ++page)
      ASSERT_TRUE(std::equal(data.begin() + page * 512, data.begin() + page * 512 + 512, image.begin() + page * 528));
  }
}

TEST_F(ConversionTest, NandToDataRefusalsWriteNothing) {
  WriteFile(At("two.nand"), {0x32, 0x0C});
  WriteFile(At("block.nand"), Bytes(kBlockSize, 1));
  WriteFile(At("odd.nand"), Bytes(kBlockSize + 3, 1));
  WriteFile(At("empty.nand"), {});
  WriteFile(At("good.nand"), WithTrailer(Bytes(kBlockSize, 7), 2));
  fs::create_directory(dir / "folder");
  struct Case {
    std::string source, target, message;
  } cases[] = {
      {"", "", kPathWrong},
      {At("missing.nand"), "", kPathWrong},
      {At("folder"), At("x.dat"), kPathWrong},
      {At("two.nand"), At("x.dat"), kSizeWrong},
      {At("block.nand"), At("x.dat"), kSizeWrong},
      {At("odd.nand"), At("x.dat"), kSizeWrong},
      {At("empty.nand"), At("x.dat"), kSizeWrong},
      {At("good.nand"), "", kTargetMissing},
      {At("good.nand"), At("good.nand"), kSamePath},
      {At("good.nand"), (dir / "folder" / ".." / "good.nand").string(), kSamePath},
  };
  for (const Case& c : cases) {
    RecordingHost fresh;
    host = fresh;
    EXPECT_EQ(ToData(c.source, c.target), ConversionResult::Refused) << c.source << " -> " << c.target;
    EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.source;
    EXPECT_TRUE(host.questions.empty());
  }
  ExpectFolderHolds({"two.nand", "block.nand", "odd.nand", "empty.nand", "good.nand", "folder"});
  EXPECT_EQ(ReadFile(At("good.nand")), WithTrailer(Bytes(kBlockSize, 7), 2));
}

TEST_F(ConversionTest, TheSameFileUnderAnotherNameIsRefusedBeforeAnyQuestion) {
  const Bytes image = WithTrailer(Bytes(kBlockSize, 7), 2);
  WriteFile(At("x.nand"), image);
  fs::create_hard_link(dir / "x.nand", dir / "hard.nand");
  std::vector<std::string> others = {At("hard.nand")};
#ifndef _WIN32  // a symbolic link needs a privilege on Windows
  fs::create_symlink(dir / "x.nand", dir / "link.nand");
  others.push_back(At("link.nand"));
#endif
  for (const std::string& other : others) {
    RecordingHost fresh;
    host = fresh;
    host.answers = {true, true};
    EXPECT_EQ(ToData(At("x.nand"), other), ConversionResult::Refused);
    EXPECT_EQ(host.messages, std::vector<std::string>{kSamePath});
    EXPECT_TRUE(host.questions.empty());
    host.messages.clear();
    WriteFile(At("x.dat"), Bytes(kDataBlockSize, 1));
    EXPECT_EQ(ToNand(At("x.dat"), At("x.dat"), "2"), ConversionResult::Refused);
    EXPECT_EQ(host.messages, std::vector<std::string>{kSamePath});
  }
  EXPECT_EQ(ReadFile(At("x.nand")), image);
}

TEST_F(ConversionTest, NoToEitherQuestionLeavesEverythingInPlace) {
  WriteFile(At("x.nand"), WithTrailer(Bytes(kBlockSize, 7), 0x20));
  EXPECT_EQ(ToData(At("x.nand"), At("x.dat")), ConversionResult::Declined);
  EXPECT_EQ(host.questions, std::vector<std::string>{"文件对应的开始逻辑块号为20h,转换?"});
  ExpectFolderHolds({"x.nand"});

  WriteFile(At("x.dat"), {'o', 'l', 'd'});
  host.questions.clear();
  host.answers = {true, false};
  EXPECT_EQ(ToData(At("x.nand"), At("x.dat")), ConversionResult::Declined);
  EXPECT_EQ(host.questions.back(), kOverwrite);
  EXPECT_EQ(ReadFile(At("x.dat")), (Bytes{'o', 'l', 'd'}));

  host.answers = {false};
  WriteFile(At("y.dat"), Bytes(kDataBlockSize, 1));
  EXPECT_EQ(ToNand(At("y.dat"), At("x.dat"), "20"), ConversionResult::Declined);
  EXPECT_EQ(ReadFile(At("x.dat")), (Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(host.messages.empty());
  ExpectFolderHolds({"x.nand", "x.dat", "y.dat"});

  host.answers = {true};
  EXPECT_EQ(ToNand(At("y.dat"), At("x.dat"), "20"), ConversionResult::Success);
  EXPECT_EQ(ReadFile(At("x.dat")).size(), kBlockSize + 2);
}

TEST_F(ConversionTest, DataToNandBuildsEverySpareArea) {
  WriteFile(At("z.dat"), Bytes(kDataBlockSize, 0));
  EXPECT_EQ(ToNand(At("z.dat"), At("z.nand"), "0C32"), ConversionResult::Success);
  Bytes image = ReadFile(At("z.nand"));
  ASSERT_EQ(image.size(), 16898u);
  EXPECT_EQ(SpareOf(image, 0, 32), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xAA, 0, 0xFF, 0xFF, 0x31, 0x54, 0x6F}));
  EXPECT_EQ(Bytes(image.end() - 2, image.end()), (Bytes{0x32, 0x0C}));
  EXPECT_EQ(host.messages, std::vector<std::string>{kSuccess});
  EXPECT_EQ(host.events, 32 + 1);
  ExpectWindowBackToRest();

  // Start 1: the first block is logical block 1, all FF; the second is 2.
  WriteFile(At("two.dat"), Bytes(2 * kDataBlockSize, 0));
  EXPECT_EQ(ToNand(At("two.dat"), At("two.nand"), "1"), ConversionResult::Success);
  image = ReadFile(At("two.nand"));
  ASSERT_EQ(image.size(), 2 * kBlockSize + 2);
  for (int p = 1; p <= 32; ++p) EXPECT_EQ(SpareOf(image, 0, p), Bytes(16, 0xFF));
  EXPECT_EQ(Bytes(image.end() - 2, image.end()), (Bytes{0x01, 0x00}));
  const Bytes second = SpareOf(image, 1, 1);
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 2), (Bytes{0x02, 0x00}));
  EXPECT_EQ(second[9], 0xAA);
  EXPECT_NE(SpareOf(image, 1, 32)[14] | SpareOf(image, 1, 32)[15] << 8, 0xFFFF);
}

TEST_F(ConversionTest, VersionDigitsAreReadAgainForEveryBlock) {
  WriteFile(At("x.dat"), Bytes(3 * kDataBlockSize, 0x11));
  host.major = "2";
  host.minor = "0";
  host.onEvents = [&] {
    if (host.events == 40) host.minor = "7";  // changed while block 2 is converted
  };
  EXPECT_EQ(ToNand(At("x.dat"), At("x.nand"), "a0"), ConversionResult::Success);
  const Bytes image = ReadFile(At("x.nand"));
  EXPECT_EQ(SpareOf(image, 0, 32)[13], 0x20);
  EXPECT_EQ(SpareOf(image, 1, 32)[13], 0x27);
  EXPECT_EQ(SpareOf(image, 2, 32)[13], 0x27);
  EXPECT_EQ(SpareOf(image, 0, 1)[0], 0xA0);
}

TEST_F(ConversionTest, DataToNandRefusalsWriteNothing) {
  WriteFile(At("empty.dat"), {});
  WriteFile(At("odd.dat"), Bytes(kDataBlockSize + 1, 0));
  WriteFile(At("three.dat"), Bytes(3 * kDataBlockSize, 0));
  // 4096 blocks and more: no start fits, the file is at fault. Sparse files keep this cheap.
  std::ofstream(dir / "big.dat").close();
  fs::resize_file(dir / "big.dat", 4096 * kDataBlockSize);
  std::ofstream(dir / "bigger.dat").close();
  fs::resize_file(dir / "bigger.dat", 5000 * kDataBlockSize);
  const std::string rangeFFD = "开始逻辑块号应该大于等于1h且小于等于FFDh.\r\n请重新填写.";
  const std::string tooMany = "打开的文件块数太多,最多4095块!\r\n请重新填写.";
  struct Case {
    std::string source, target, start, message;
  } cases[] = {
      {"", "", "1", kPathWrong},
      {At("empty.dat"), At("x.nand"), "1", kSizeWrong},
      {At("odd.dat"), At("x.nand"), "1", kSizeWrong},
      {At("three.dat"), "", "1", kTargetMissing},
      {At("three.dat"), At("three.dat"), "1", kSamePath},
      {At("three.dat"), At("x.nand"), "FFE", rangeFFD},
      {At("three.dat"), At("x.nand"), "0", rangeFFD},
      {At("three.dat"), At("x.nand"), "", rangeFFD},
      {At("big.dat"), At("x.nand"), "1", tooMany},
      {At("bigger.dat"), At("x.nand"), "1", tooMany},
  };
  for (const Case& c : cases) {
    RecordingHost fresh;
    host = fresh;
    EXPECT_EQ(ToNand(c.source, c.target, c.start), ConversionResult::Refused) << c.source << " " << c.start;
    EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.source << " " << c.start;
  }
  ExpectFolderHolds({"empty.dat", "odd.dat", "three.dat", "big.dat", "bigger.dat"});

  EXPECT_EQ(ToNand(At("three.dat"), At("x.nand"), "ffd"), ConversionResult::Success);
  const Bytes image = ReadFile(At("x.nand"));
  EXPECT_EQ(SpareOf(image, 2, 1)[0] | SpareOf(image, 2, 1)[1] << 8, 0xFFF);
}

TEST_F(ConversionTest, RoundTripGivesTheSameData) {
  const Bytes data = RandomBytes(5 * kDataBlockSize, 9);
  WriteFile(At("x.dat"), data);
  EXPECT_EQ(ToNand(At("x.dat"), At("x.nand"), "7FE"), ConversionResult::Success);
  host.answers = {true};
  EXPECT_EQ(ToData(At("x.nand"), At("y.dat")), ConversionResult::Success);
  EXPECT_EQ(host.questions, std::vector<std::string>{"文件对应的开始逻辑块号为7FEh,转换?"});
  EXPECT_EQ(ReadFile(At("y.dat")), data);
  // And back again gives the very same image.
  EXPECT_EQ(ToNand(At("y.dat"), At("y.nand"), "7fe"), ConversionResult::Success);
  EXPECT_EQ(ReadFile(At("y.nand")), ReadFile(At("x.nand")));
}

TEST_F(ConversionTest, ATemporaryNameInUseIsNotTouched) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 1));
  WriteFile(At("x.nand.temp"), {'m', 'i', 'n', 'e'});
  EXPECT_EQ(ToNand(At("x.dat"), At("x.nand"), "2"), ConversionResult::Success);
  EXPECT_EQ(ReadFile(At("x.nand.temp")), (Bytes{'m', 'i', 'n', 'e'}));
  ExpectFolderHolds({"x.dat", "x.nand", "x.nand.temp"});
}

#ifndef _WIN32
TEST_F(ConversionTest, AFullDiskKeepsTheOldTarget) {
  // A file-size limit makes every write beyond it fail as on a full disk.
  WriteFile(At("x.dat"), RandomBytes(8 * kDataBlockSize, 4));
  WriteFile(At("x.nand"), {'o', 'l', 'd'});
  host.answers = {true};
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 3 * kBlockSize;
  setrlimit(RLIMIT_FSIZE, &small);
  const ConversionResult result = ToNand(At("x.dat"), At("x.nand"), "2");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, ConversionResult::Failed);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("写入文件出错:" + At("x.nand"), 0), 0u) << host.messages[0];
  EXPECT_EQ(ReadFile(At("x.nand")), (Bytes{'o', 'l', 'd'}));
  ExpectWindowBackToRest();
  ExpectFolderHolds({"x.dat", "x.nand"});
}
#endif

// What stands at the target's name, and what a conversion to it does. The
// old target "old" is never damaged; a refusal comes before any question.
struct TargetCase {
  const char* name;
  std::function<std::string(const fs::path& dir)> arrange;  // gives the target path
  ConversionResult result;
  const char* message;  // a text the one message holds
  std::function<void(RecordingHost&)> during = nullptr;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class ConversionTarget : public ConversionTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(ConversionTarget, IsWrittenOnlyWhereItMayBe) {
  const TargetCase& c = GetParam();
  WriteFile(At("x.dat"), RandomBytes(40 * kDataBlockSize, 5));
  const std::string target = c.arrange(dir);
  const std::string written = CheckTarget(target).path;
  // Every regular file and what it holds.
  const auto snapshot = [&] {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(dir))
      if (fs::is_regular_file(e.symlink_status())) files[Utf8FromPath(e.path())] = ReadFile(e.path());
    return files;
  };
  auto before = snapshot();
  host.answers = {true};
  if (c.during) c.during(host);

  EXPECT_EQ(ToNand(At("x.dat"), target, "2"), c.result);
  SetWriteFault(nullptr);
  SetSlowFlush(nullptr);

  ASSERT_EQ(host.messages.size(), c.result == ConversionResult::Cancelled ? 0u : 1u);
  if (!host.messages.empty()) {
    EXPECT_NE(host.messages[0].find(c.message), std::string::npos) << host.messages[0];
  }
  if (c.result == ConversionResult::Refused) {
    EXPECT_NE(host.messages[0].find(target), std::string::npos) << "the message names the path";
    EXPECT_TRUE(host.questions.empty());
  }
  auto after = snapshot();
  if (c.result == ConversionResult::Success) {
    EXPECT_EQ(after[written].size(), 40 * kBlockSize + 2);
    before.erase(written);
    after.erase(written);
  }
  EXPECT_EQ(after, before) << "no other file was added, changed or removed";
  ExpectWindowBackToRest();
}

std::string Old(const fs::path& dir) {
  WriteFile(dir / "old.nand", {'o', 'l', 'd'});
  return (dir / "old.nand").string();
}

const TargetCase kTargets[] = {
    {"ANameOf255Bytes",
     [](const fs::path& dir) { return Utf8FromPath(dir / PathFromUtf8(std::string(244, 'n') + "文件.nand")); },
     ConversionResult::Success, kSuccess},
    {"ALeftoverTemporaryFileStays",
     [](const fs::path& dir) {
       WriteFile(dir / "new.nand.temp", {'m', 'i', 'n', 'e'});
       WriteFile(dir / "new.nand.1.temp", {'m', 'i', 'n', 'e'});
       return (dir / "new.nand").string();
     },
     ConversionResult::Success, kSuccess},
#ifndef _WIN32  // a symbolic link needs a privilege on Windows, a FIFO is POSIX; a read-only file stays behind
    {"AReadOnlyTargetIsRefused",
     [](const fs::path& dir) {
       fs::permissions(Old(dir), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                       fs::perm_options::remove);
       return (dir / "old.nand").string();
     },
     ConversionResult::Refused, "这是只读文件,不能替换"},
    {"ALinkIsFollowed",
     [](const fs::path& dir) {
       Old(dir);
       fs::create_symlink("old.nand", dir / "link.nand");
       return (dir / "link.nand").string();
     },
     ConversionResult::Success, kSuccess},
    {"AFifoIsRefused",
     [](const fs::path& dir) {
       mkfifo((dir / "fifo.nand").c_str(), 0600);
       return (dir / "fifo.nand").string();
     },
     ConversionResult::Refused, "命名管道"},
#endif
    {"AFailedWriteKeepsTheOldTarget", Old, ConversionResult::Failed, "写入文件出错:",
     [](RecordingHost&) {
       SetWriteFault([](std::uint64_t written, std::size_t) { return written > 0 ? ENOSPC : 0; });
     }},
    {"AnInterruptionKeepsTheOldTarget", Old, ConversionResult::Cancelled, "",
     [](RecordingHost& host) { host.onEvents = [&host] { host.cancel = host.events > 40; }; }},
    {"AnInterruptionWhileTheDiskFlushesKeepsTheOldTarget", Old, ConversionResult::Cancelled, "",
     [](RecordingHost& host) { SetSlowFlush([&host] { host.cancel = true; }); }},
};

INSTANTIATE_TEST_SUITE_P(Targets, ConversionTarget, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

