#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/safe_replace.h"
#include "common/system_reason.h"

namespace fs = std::filesystem;

TEST(HexText, FormatsBytesAndNumbersAsMessagesShowThem) {
  EXPECT_EQ(Dec2HexStr(0), "$00");
  EXPECT_EQ(Dec2HexStr(10), "$0A");
  EXPECT_EQ(Dec2HexStr(0x1F), "$1F");
  EXPECT_EQ(Dec2HexStr(255), "$FF");
  EXPECT_EQ(HexNoZeros(0xC32), "C32");
  EXPECT_EQ(HexNoZeros(0), "0");
  EXPECT_EQ(BlankNumber(5), " 5");
  EXPECT_EQ(BlankNumber(-1), "-1");
}

TEST(SystemReason, CommonReasonsReadInChineseWithTheSystemTextInBrackets) {
  struct Case {
    int errorNumber;
    unsigned long windowsCode;
    const char* chinese;
  } const cases[] = {
      {ENOSPC, 112, "磁盘空间已满"},   {EACCES, 5, "没有权限"},          {ENOENT, 2, "文件或文件夹不存在"},
      {EROFS, 19, "只读的文件系统"},    {EISDIR, 267, "这是一个文件夹"},  {ENAMETOOLONG, 206, "文件名太长"},
      {EBUSY, 32, "设备或文件正被占用"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SystemReason(c.errorNumber), std::string(c.chinese) + " (" + std::strerror(c.errorNumber) + ")");
    EXPECT_EQ(WindowsReason(c.windowsCode, "system text"), std::string(c.chinese) + " (system text)");
  }
  // Everything else is the system's text alone.
  EXPECT_EQ(SystemReason(EIO), std::strerror(EIO));
  EXPECT_EQ(WindowsReason(1117, "I/O device error"), "I/O device error");
}

class FileTest : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("tolvar-common-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
  }
  std::string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir / name, std::ios::binary) << content;
    return (dir / name).string();
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(FileTest, FileExistsOnlyForReadableFiles) {
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists((dir / "missing").string()));
  EXPECT_FALSE(FileExists(dir.string()));
  EXPECT_TRUE(FileExists(Write("present", "x")));
  EXPECT_TRUE(FileExists(Write("空的.nor", "")));
  const std::string locked = Write("locked", "x");
  fs::permissions(locked, fs::perms::none);
  // Root reads it anyway; everyone else must see it as absent.
  EXPECT_EQ(FileExists(locked), std::ifstream(locked).is_open());
}

TEST_F(FileTest, ReplaceWithTemporaryPutsTheNewFileInPlaceOrChangesNothing) {
  const std::string target = Write("x.nand", "old");
  const std::string temp = Write("x.nand.temp", "new");
  std::string error;
  ASSERT_TRUE(ReplaceWithTemporary(temp, target, error)) << error;
  EXPECT_EQ(Read(target), "new");
  EXPECT_FALSE(fs::exists(temp));

  // A folder in the way: the temporary file stays, the folder is untouched.
  fs::create_directory(dir / "folder.nand");
  const std::string temp2 = Write("folder.nand.temp", "data");
  EXPECT_FALSE(ReplaceWithTemporary(temp2, (dir / "folder.nand").string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(temp2), "data");
  EXPECT_TRUE(fs::is_directory(dir / "folder.nand"));
}
