#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "command_line.h"
#include "common/image_layout.h"
#include "common/interruption.h"
#include "common/temporary_file.h"
#include "image_check/spare_area.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace nand;

namespace {

class CommandLineTest : public TempFolderTest {
 protected:
  std::ostringstream out, err;
  int Run(std::vector<std::string> arguments) {
    out.str("");
    err.str("");
    return RunCommandLine(arguments, out, err);
  }
};

// Output that interrupts the program when it is flushed once `mark` stands in it.
struct InterruptAfter : std::stringbuf {
  explicit InterruptAfter(std::string text) : mark(std::move(text)) {}
  int sync() override { return str().find(mark) == std::string::npos || raise(SIGTERM) == 0 ? 0 : -1; }
  std::string mark;
};

}  // namespace

TEST_F(CommandLineTest, UsageErrorsExitWith2AndSayWhatIsWrong) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 0));
  const std::string notAStart = "is not a block number: give one to four hexadecimal digits, optionally followed by h";
  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{}, "A subcommand is required"},
      {{"convert", At("x.dat"), At("x.nand")}, "corvane: unknown command convert"},
      {{"data2nand", At("x.dat"), At("x.nand")}, "--start is required"},
      {{"data2nand", "--start", "xyz", At("x.dat"), At("x.nand")}, "--start: xyz " + notAStart},
      {{"data2nand", "--start", "12345", At("x.dat"), At("x.nand")}, "--start: 12345 " + notAStart},
      {{"data2nand", "--start", "h", At("x.dat"), At("x.nand")}, "--start: h " + notAStart},
      {{"data2nand", "--start", "2", "--version", "31", At("x.dat"), At("x.nand")},
       "--version: 31 is not a version: give two digits as M.N"},
      {{"data2nand", "--start", "2", At("x.dat")}, "DST is required"},
      {{"nand2data", "--start", "2", At("x.nand"), At("x.dat")}, "unknown option --start"},
      {{"nand2data", "--quick", At("x.nand"), At("x.dat")}, "unknown option --quick\nNAND image"},  // no file hint
      {{"nand2data", At("x.nand"), At("x.dat"), At("y.dat")}, "unexpected argument " + At("y.dat")},
      // Taken for an option, not a file: named, with the way to give such a file.
      {{"nand2data", "-x.nand", "y.dat"},
       "unknown option -x.nand\n(to name a file that starts with '-', put -- before the files: "
       "corvane nand2data [OPTIONS] -- -x.nand)"},
  };
  for (const auto& [arguments, says] : wrong) {
    EXPECT_EQ(Run(arguments), 2) << (arguments.empty() ? "" : arguments[0]);
    EXPECT_NE(err.str().find(says), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir / "x.nand"));

  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(out.str(), std::string("corvane ") + PROGRAM_VERSION + "\n");
}

TEST_F(CommandLineTest, ConvertsBothWaysAndPrintsTheStartingBlock) {
  const Bytes data = RandomBytes(2 * kDataBlockSize, 5);
  WriteFile(At("x.dat"), data);
  EXPECT_EQ(Run({"data2nand", "--start", "c32h", "--version", "3.2", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(out.str(), "转换成功!\n");
  const Bytes image = ReadFile(At("x.nand"));
  ASSERT_EQ(image.size(), 2 * kBlockSize + 2);
  EXPECT_EQ(image[kBlockSize - 3], 0x32);  // version byte of page 32

  EXPECT_EQ(Run({"nand2data", At("x.nand"), At("y.dat")}), 0);
  // The question is answered Yes without a person, and says so.
  EXPECT_EQ(out.str(), "文件对应的开始逻辑块号为C32h,转换? 是\n转换成功!\n");
  EXPECT_EQ(ReadFile(At("y.dat")), data);
}

TEST_F(CommandLineTest, AnExistingTargetNeedsForce) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 0));
  WriteFile(At("x.nand"), {'o', 'l', 'd'});
  EXPECT_EQ(Run({"data2nand", "--start", "2", At("x.dat"), At("x.nand")}), 1);
  EXPECT_EQ(out.str(), "文件已存在,要覆盖吗? 否\n没有覆盖: 加上 --force 才会替换已有的文件.\n");
  EXPECT_EQ(ReadFile(At("x.nand")), (Bytes{'o', 'l', 'd'}));

  EXPECT_EQ(Run({"data2nand", "--start", "FFF", "--force", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(Run({"data2nand", "--start", "FFF", At("x.nand"), At("y.nand")}), 1);
  EXPECT_EQ(out.str(), "打开的文件大小错误!\n请重新填写.\n打开路径 " + At("x.nand") + ": 文件长度为16898字节,应为整块(每块16384字节)\n");
  EXPECT_EQ(Run({"data2nand", "--force", "--start", "2", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(out.str(), "文件已存在,要覆盖吗? 是\n转换成功!\n");
  EXPECT_EQ(ReadFile(At("x.nand")).size(), kBlockSize + 2);
#ifndef _WIN32
  CatchInterruptions();  // interrupted while the new target is flushed: the line says that it is kept
  SetSlowFlush([] { raise(SIGTERM); });
  EXPECT_EQ(Run({"data2nand", "--force", "--start", "3", At("x.dat"), At("x.nand")}), 1);
  SetSlowFlush(nullptr);
  ForgetInterruption();
  EXPECT_EQ(out.str(), "文件已存在,要覆盖吗? 是\n已取消: 转换被中断, " + At("x.nand") + " 没有改变.\n");
#endif
}

TEST_F(CommandLineTest, VerifyExitsWith0OnlyForACleanImageAnd3ForACorrectedCopy) {
  WriteFile(At("x.dat"), RandomBytes(2 * kDataBlockSize, 8));
  ASSERT_EQ(Run({"data2nand", "--start", "2", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(Run({"verify", At("x.nand")}), 0);
  EXPECT_NE(out.str().find("检查页数: 64\n无误页数: 64\n"), std::string::npos) << out.str();
  // Erased pages are erased in the copy too, not left wrong.
  Bytes image = ReadFile(At("x.nand"));
  std::fill_n(image.begin() + kBlockSize, kBlockSize, 0xFF);
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Run({"verify", "--repair", At("x.nand"), At("y.nand")}), 0);
  EXPECT_NE(out.str().find("已纠正页数: 0 (每页一位)\n纠正后仍不符页数: 0\n纠正后块校验和不符块数: 0\n"),
            std::string::npos) << out.str();

  image[700] ^= 0x08;  // page 2 of block 1
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Run({"verify", At("x.nand")}), 1);
  EXPECT_EQ(out.str().rfind("第1块(逻辑块2h)第2页: ECC 存储 ", 0), 0u) << out.str();
  // The copy decides: corrected with nothing left gives 3, with the limit said; one left gives 1.
  EXPECT_EQ(Run({"verify", "--repair", "--force", At("x.nand"), At("y.nand")}), 3);
  EXPECT_NE(out.str().find("已纠正页数: 1 (每页一位)\n纠正后仍不符页数: 0\n纠正后块校验和不符块数: 0\n注意: 一页中有三个"),
            std::string::npos) << out.str();
  EXPECT_EQ(Run({"verify", At("y.nand")}), 0);
#ifndef _WIN32
  InterruptAfter interrupting("已纠正页数");  // the copy is in place, its check is about to start
  std::ostream stream(&interrupting);
  CatchInterruptions();
  EXPECT_EQ(RunCommandLine({"verify", "--repair", "--force", At("x.nand"), At("y.nand")}, stream, err), 1);
  ForgetInterruption();
  EXPECT_NE(interrupting.str().find("已纠正页数: 1 (每页一位)\n对副本的检查被中断: " + At("y.nand") + " 已写好, 但没有检查完.\n注意"),
            std::string::npos) << interrupting.str();  // and no counts of the copy
#endif
  image[701] ^= 0x11;  // two bits more on the same page: beyond the ECC
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Run({"verify", "--repair", "--force", At("x.nand"), At("y.nand")}), 1);
  EXPECT_NE(out.str().find("纠正后仍不符页数: 1\n"), std::string::npos) << out.str();

  EXPECT_EQ(Run({"verify", At("x.nand"), At("y.nand")}), 2);
  EXPECT_EQ(Run({"verify", "--repair", At("x.nand")}), 2);
  EXPECT_EQ(Run({"verify", "--force", At("x.nand")}), 2);
  EXPECT_EQ(Run({"verify", At("x.dat")}), 1);
  EXPECT_EQ(out.str(), "打开的文件大小错误!\n请重新填写.\n打开路径 " + At("x.dat") +
                          ": 文件长度为32768字节,应为整块(每块16896字节)再加2字节\n");
  WriteFile(At("empty.nand"), {0x02, 0x00});
  EXPECT_EQ(Run({"verify", At("empty.nand")}), 1);
  EXPECT_NE(out.str().find(": 文件长度为2字节,没有一块数据\n"), std::string::npos) << out.str();

  // Blocks FFFh and 1000h, their spare areas by the rules: the handheld has no block 1000h.
  Bytes past = RandomBytes(2 * kBlockSize, 3);
  for (unsigned b = 0; b < 2; ++b) {
    for (int p = 0; p < kPagesPerBlock; ++p) WriteSpareArea(&past[b * kBlockSize + p * kPageSize], p + 1, 0xFFF + b, 0x31);
    StampBlockSum(&past[b * kBlockSize], 0xFFF + b);
  }
  WriteFile(At("past.nand"), WithTrailer(past, 0xFFF));
  EXPECT_EQ(Run({"verify", At("past.nand")}), 1);
  EXPECT_EQ(out.str().rfind("逻辑块FFFh-1000h (超出1h-FFFh)\n检查页数: 64\n无误页数: 64\n", 0), 0u) << out.str();
  fs::resize_file(At("past.nand"), ImageLength(4096));
  EXPECT_EQ(Run({"verify", At("past.nand")}), 1);
  EXPECT_NE(out.str().find("有4096块,逻辑块只有1h-FFFh,最多4095块"), std::string::npos) << out.str();
}

TEST_F(CommandLineTest, SaysWhatTheWindowLeavesOutAndTakesFilesAfterDoubleDash) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 0));
  WriteFile(At("-x.nand"), Bytes(kBlockSize + 2, 0xFF));
  fs::create_directory(dir / "folder");
  std::ofstream(dir / "big.dat").close();
  fs::resize_file(dir / "big.dat", 4096 * kDataBlockSize);
  const std::string pathWrong = "打开的文件路径错误!\n请重新填写.\n";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string output;  // the whole of standard output
  };
  std::vector<Case> cases = {
      {{"nand2data", At("folder"), At("y.dat")}, 1, pathWrong + "打开路径 " + At("folder") + ": 这是一个文件夹 (Is a directory)\n"},
      {{"nand2data", At("missing"), At("y.dat")}, 1,
       pathWrong + "打开路径 " + At("missing") + ": 文件或文件夹不存在 (No such file or directory)\n"},
      {{"data2nand", "--start", "1", At("big.dat"), At("y.nand")}, 1, "打开的文件块数太多,最多4095块!\n请重新填写.\n"},
      {{"nand2data", "--", At("-x.nand"), At("y.dat")}, 0, "文件对应的开始逻辑块号为FFFFh,转换? 是\n转换成功!\n"},
  };
#ifndef _WIN32
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);  // refused without waiting for a writer
  cases.push_back({{"verify", At("fifo")}, 1, pathWrong + "打开路径 " + At("fifo") + ": 这是一个管道(FIFO),不是文件\n"});
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.arguments), c.status) << c.arguments[1];
    EXPECT_EQ(out.str(), c.output) << c.arguments[1];
  }
  EXPECT_EQ(ReadFile(At("y.dat")).size(), kDataBlockSize);

  for (const auto& help : {std::vector<std::string>{"--help"}, {"-h"}, {"verify", "--help"}}) {
    EXPECT_EQ(Run(help), 0);
    EXPECT_NE(out.str().find("usage: corvane"), std::string::npos) << out.str();
  }
}
