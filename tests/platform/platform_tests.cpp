#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "command_line.h"
#include "common/binary_file.h"
#include "common/console.h"
#include "common/file_exists.h"
#include "common/platform_files.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "link/serial_device.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The arguments the program was started with, as Utf8Arguments gives them.
std::vector<std::string> arguments;
const std::string kChineseName = "文曲星 备份.nand";

// Every file of these tests lies in a folder with a Chinese name.
class PlatformFiles : public TempFolderTest {
 protected:
  PlatformFiles() : TempFolderTest("文曲星") {}
};

}  // namespace

TEST(Platform, AUtf8ArgumentArrivesWhole) {
  if (arguments.empty()) GTEST_SKIP() << "start with the argument \"" << kChineseName << "\", as CTest does";
  EXPECT_EQ(arguments.back(), kChineseName);
}

TEST(Platform, PortNumbersNameTheSystemsDevices) {
  EXPECT_EQ(SerialDeviceName(0), "");
  EXPECT_EQ(SerialDeviceName(kHighestPort + 1), "");
#ifdef _WIN32
  EXPECT_EQ(SerialDeviceName(1), "COM1");
  EXPECT_EQ(SerialDeviceName(10), "COM10");
  EXPECT_EQ(SerialDeviceName(kHighestPort), "COM256");
  EXPECT_EQ(DeviceLocation("COM12"), "COM12");
#else
  EXPECT_EQ(DeviceLocation("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceLocation("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(DeviceLocation("./x/../com1"), (fs::current_path() / "com1").string());
  SetEnvironment("TOLVAR_COM1", "");
  EXPECT_EQ(SerialDeviceName(1), "/dev/ttyS0");
  SetEnvironment("TOLVAR_COM1", "/dev/ttyUSB0");
  EXPECT_EQ(SerialDeviceName(1), "/dev/ttyUSB0");
  SetEnvironment("TOLVAR_COM1", "");
#endif
}

TEST_F(PlatformFiles, ATemporaryFileReplacesAnExistingTargetAndNeverOpensAnotherFile) {
  const std::string target = At(kChineseName);
  WriteText(target, "old");
  WriteText(target + ".temp", "someone else's");
  errno = 0;
  EXPECT_EQ(CreateNewFile(target + ".temp"), nullptr);
  EXPECT_EQ(errno, EEXIST);

  TemporaryFile file(target);
  ASSERT_TRUE(file.Create()) << file.Error();
  EXPECT_EQ(file.path(), target + ".1.temp");
  ASSERT_TRUE(file.Write("new", 3));
  ASSERT_TRUE(file.Commit()) << file.Error();
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_EQ(ReadText(target + ".temp"), "someone else's");
  EXPECT_FALSE(fs::exists(PathFromUtf8(target + ".1.temp")));
}

TEST_F(PlatformFiles, ChineseNamesWorkInEveryFileCall) {
  const std::string name = At(arguments.empty() ? kChineseName : arguments.back());
  WriteText(name, "0123456789");
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(UnreadableReason(name), "");
  std::uint64_t size = 0;
  EXPECT_TRUE(SizeOfFile(name, size));
  EXPECT_EQ(size, 10u);
  const Target target = CheckTarget(name);
  EXPECT_EQ(target.problem, "");
  EXPECT_TRUE(target.exists);
  EXPECT_EQ(target.path, name);
  EXPECT_TRUE(SameFile(name, Utf8FromPath(dir / ".." / dir.filename() / PathFromUtf8(kChineseName))));

  BinaryFile in;
  char bytes[3] = {};
  ASSERT_TRUE(in.OpenForReading(name)) << in.Error();
  ASSERT_TRUE(in.SeekTo(7));
  ASSERT_TRUE(in.Read(bytes, 3));
  EXPECT_EQ(std::string(bytes, 3), "789");
  EXPECT_FALSE(in.Read(bytes, 1));
  EXPECT_EQ(in.Error(), "文件意外结束");
}

// Corvane's command line, from a data file to an image and back, all under Chinese names.
TEST_F(PlatformFiles, CorvaneConvertsBetweenChineseNames) {
  const std::string data = At("数据.dat"), image = At(kChineseName), back = At("数据 2.dat");
  std::string pages(16384, '\0');
  for (std::size_t i = 0; i < pages.size(); ++i) pages[i] = static_cast<char>(i * 7);
  WriteText(data, pages);
  std::ostringstream out, err;
  EXPECT_EQ(RunCommandLine({"data2nand", "--start", "C32", data, image}, out, err), 0) << out.str() << err.str();
  EXPECT_EQ(RunCommandLine({"verify", image}, out, err), 0) << out.str() << err.str();
  EXPECT_EQ(RunCommandLine({"nand2data", image, back}, out, err), 0) << out.str() << err.str();
  EXPECT_EQ(ReadText(back), pages);
}

int main(int argc, char** argv) {
  arguments = Utf8Arguments(argc, argv);  // before GoogleTest takes its own options out
  if (!arguments.empty() && arguments.back().rfind("--gtest", 0) == 0) arguments.clear();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
