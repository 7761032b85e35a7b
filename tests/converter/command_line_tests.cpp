#include <gtest/gtest.h>

#include <sstream>

#include "command_line.h"
#include "converter/geometry.h"
#include "file_helpers.h"

using namespace geometry;

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

}  // namespace

TEST_F(CommandLineTest, UsageErrorsExitWith2) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 0));
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"convert", At("x.dat"), At("x.nand")},
      {"data2nand", At("x.dat"), At("x.nand")},                       // no --start
      {"data2nand", "--start", "xyz", At("x.dat"), At("x.nand")},
      {"data2nand", "--start", "12345", At("x.dat"), At("x.nand")},
      {"data2nand", "--start", "2", "--version", "31", At("x.dat"), At("x.nand")},
      {"data2nand", "--start", "2", At("x.dat")},
      {"nand2data", "--start", "2", At("x.nand"), At("x.dat")},
      {"nand2data", "--quick", At("x.nand"), At("x.dat")},
      {"nand2data", At("x.nand"), At("x.dat"), At("y.dat")},
  };
  for (const auto& arguments : wrong) {
    EXPECT_EQ(Run(arguments), 2) << (arguments.empty() ? "" : arguments[0]);
    EXPECT_NE(err.str().find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir / "x.nand"));
}

TEST_F(CommandLineTest, ConvertsBothWaysAndPrintsTheStartingBlock) {
  const Bytes data = RandomBytes(2 * kDataBlockSize, 5);
  WriteFile(At("x.dat"), data);
  EXPECT_EQ(Run({"data2nand", "--start", "c32", "--version", "2.0", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(out.str(), "转换成功!\n");
  const Bytes image = ReadFile(At("x.nand"));
  ASSERT_EQ(image.size(), 2 * kBlockSize + 2);
  EXPECT_EQ(image[kBlockSize - 3], 0x20);  // version byte of page 32

  EXPECT_EQ(Run({"nand2data", At("x.nand"), At("y.dat")}), 0);
  EXPECT_EQ(out.str(), "文件对应的开始逻辑块号为C32h,转换?\n转换成功!\n");
  EXPECT_EQ(ReadFile(At("y.dat")), data);
}

TEST_F(CommandLineTest, AnExistingTargetNeedsForce) {
  WriteFile(At("x.dat"), Bytes(kDataBlockSize, 0));
  WriteFile(At("x.nand"), {'o', 'l', 'd'});
  EXPECT_EQ(Run({"data2nand", "--start", "2", At("x.dat"), At("x.nand")}), 1);
  EXPECT_EQ(out.str(), "文件已存在,要覆盖吗?\n");
  EXPECT_EQ(ReadFile(At("x.nand")), (Bytes{'o', 'l', 'd'}));

  EXPECT_EQ(Run({"data2nand", "--start", "FFF", "--force", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(Run({"data2nand", "--start", "FFF", At("x.nand"), At("y.nand")}), 1);
  EXPECT_EQ(out.str(), "打开的文件大小错误!\n请重新填写.\n");
  EXPECT_EQ(Run({"data2nand", "--force", "--start", "2", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(out.str(), "转换成功!\n");
  EXPECT_EQ(ReadFile(At("x.nand")).size(), kBlockSize + 2);
}

TEST_F(CommandLineTest, VerifyExitsWith0OnlyForACleanImage) {
  WriteFile(At("x.dat"), RandomBytes(2 * kDataBlockSize, 8));
  ASSERT_EQ(Run({"data2nand", "--start", "2", At("x.dat"), At("x.nand")}), 0);
  EXPECT_EQ(Run({"verify", At("x.nand")}), 0);
  EXPECT_NE(out.str().find("检查页数: 64\n无误页数: 64\n"), std::string::npos) << out.str();

  Bytes image = ReadFile(At("x.nand"));
  image[700] ^= 0x08;  // page 2 of block 1
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Run({"verify", At("x.nand")}), 1);
  EXPECT_EQ(out.str().rfind("第1块(逻辑块2h)第2页: ECC 存储 ", 0), 0u) << out.str();
  EXPECT_EQ(Run({"verify", "--repair", At("x.nand"), At("y.nand")}), 1);
  EXPECT_NE(out.str().find("已纠正位数: 1\n"), std::string::npos);
  EXPECT_EQ(Run({"verify", At("y.nand")}), 0);

  EXPECT_EQ(Run({"verify", At("x.nand"), At("y.nand")}), 2);
  EXPECT_EQ(Run({"verify", "--repair", At("x.nand")}), 2);
  EXPECT_EQ(Run({"verify", "--force", At("x.nand")}), 2);
  EXPECT_EQ(Run({"verify", At("x.dat")}), 1);
  EXPECT_EQ(out.str(), "打开的文件大小错误!\n请重新填写.\n");
}
