// build/tolvar and build/handheld-sim called as a user calls them, for what
// the command line itself decides: usage errors (status 2), --help, --, and
// images refused with the reason before any port is opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <iterator>

#include "common/image_layout.h"
#include "processes.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Call {
  std::vector<std::string> arguments;
  int status;
  std::vector<std::string> says;  // in the output, in this order
};

class CommandLine : public TempFolderTest {
 protected:
  void Sparse(const std::string& name, std::uintmax_t size) {
    std::ofstream(dir / name).close();
    fs::resize_file(dir / name, size);
  }

  void Check(const std::string& program, const std::vector<Call>& calls) {
    for (const Call& call : calls) {
      std::vector<std::string> argv = {program};
      argv.insert(argv.end(), call.arguments.begin(), call.arguments.end());
      const std::string log = At("output.log");
      fs::remove(log);
      Child child = Spawn(argv, log);
      const int status = Wait(child, 30s);
      std::ifstream in(log);
      const std::string output{std::istreambuf_iterator<char>(in), {}};
      std::string trace;
      for (const std::string& a : call.arguments) trace += " " + a;
      EXPECT_EQ(status, call.status) << trace << "\n" << output;
      std::size_t at = 0;
      for (const std::string& text : call.says) {
        at = output.find(text, at);
        EXPECT_NE(at, std::string::npos) << trace << ": no \"" << text << "\" in\n" << output;
        if (at == std::string::npos) break;
      }
    }
  }
};

TEST_F(CommandLine, Tolvar) {
  const std::string port = At("no-such-port");  // never reached: every call ends before the port opens
  WriteFile(dir / "-x.nor", Bytes(6 * 32768, 0));
  Sparse("257.nor", 257 * 32768);
  Sparse("huge.nor", 70ull << 30);  // refused without a byte read
  WriteFile(dir / "x.nand", [] {
    Bytes image(3 * 16896 + 2, 0xFF);
    image[image.size() - 2] = 2;  // starting logical block 2
    image.back() = 0;
    return image;
  }());
  WriteFile(dir / "start0.nand", Bytes(3 * 16896 + 2, 0));  // starting logical block 0
  fs::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  const std::string fileError = "文件错误!";
  Check(TOLVAR_PROGRAM,
        {
            {{"--help"}, 0, {"usage: tolvar", "backup-nor", "fix-nor-checks"}},
            {{"repair-nand", "-h"}, 0, {"usage: tolvar repair-nand", "--blocks FIRST-LAST"}},
            {{"backup-nand", "--port", port, ""}, 2, {"tolvar: FILE: names no file", "usage: tolvar backup-nand"}},
            {{"backup-nand", "--port", port}, 2, {"FILE is required"}},
            {{"--version"}, 0, {std::string("tolvar ") + PROGRAM_VERSION + "\n"}},
            {{"bogus"}, 2, {"tolvar: unknown command bogus", "usage: tolvar"}},
            // A word no option takes comes first, by name, before what it caused.
            {{"backup-nand", "--prot", port, At("y.nand")}, 2, {"tolvar: unknown option --prot\n"}},
            {{"fix-nor-checks", "-x.nor"}, 2, {"unknown option -x.nor", "tolvar fix-nor-checks [OPTIONS] -- -x.nor"}},
            {{"compare", At("x.nand"), At("x.nand"), "extra"}, 2, {"tolvar: unexpected argument extra"}},
            {{"backup-nor", "--port", "com0", At("y.nor")}, 2, {"--port: com0 is not a port: give com1 to com256"}},
            {{"backup-nor", "--port", port, "--model", "3000", At("y.nor")}, 2,
             {"--model: 3000 is not a model: give NC3000 or 2000系列 (or 2000)"}},
            {{"backup-nor", "--port", port, "--model", "nc3000", At("y.nor")}, 1, {"串口打开失败!"}},
            {{"repair-nor", "--port", port, "--pages", "00,03", At("-x.nor")}, 2, {"--pages: 00,03 is not a page list"}},
            {{"repair-nor", "--port", port, "--pages", "00,", At("-x.nor")}, 2, {"--pages: 00, is not a page list"}},
            {{"repair-nor", "--port", port, "--pages", ",00", At("-x.nor")}, 2, {"--pages: ,00 is not a page list"}},
            {{"repair-nand", "--port", port, "--blocks", "1-3-5", At("x.nand")}, 2, {"--blocks: 1-3-5 is not a block range"}},
            {{"repair-nand", "--port", port, "--blocks", "1abc-3xyz", At("x.nand")}, 2, {"--blocks"}},
            {{"repair-nand", "--port", port, "--blocks", "2-4", At("x.nand")}, 2, {"修复的块应该在1到 3之间,请重新填写."}},
            {{"repair-nand", "--port", port, At("missing.nand")}, 1, {fileError, "文件或文件夹不存在"}},
            {{"repair-nand", "--port", port, At("-x.nor")}, 1, {fileError, "文件长度为196608字节"}},
            {{"repair-nand", "--port", port, At("start0.nand")}, 1,
             {"文件对应的开始逻辑块号错误,无法修复!", "开始逻辑块号为0h,3块的映像应为1h到FFDh"}},
            {{"repair-nor", "--port", port, At("folder")}, 1, {fileError, "这是一个文件夹"}},
            {{"repair-nor", "--port", port, At("fifo")}, 1, {fileError, "管道"}},
            {{"repair-nor", "--port", port, At("257.nor")}, 1, {fileError, "文件长度为8421376字节"}},
            {{"fix-nor-checks", At("huge.nor")}, 1, {fileError, "文件长度为75161927680字节"}},
            {{"check", "--", At("-x.nor")}, 1, {"Nor映像, 6页", "CRC (0x1FFF0): 文件中为 00 00", "检查: CRC不符\n"}},
            {{"check", At("fifo")}, 1, {fileError, "管道"}},
            {{"check", At("x.nand")}, 0, {"Nand映像, 3块, 逻辑块2h-4h", "已擦除页数: 96", "检查: 全部正确"}},
            {{"fix-nor-checks", "--", At("-x.nor")}, 0, {"NorCheckSum (0x1FFFE): 文件中为 00 00, 计算值为 ", ", 已改写.",
                                                           "CRC (0x1FFF0): 文件中为 00 00, 计算值为 ", ", 已改写."}},
            {{"fix-nor-checks", "--", At("-x.nor")}, 0, {"NorCheckSum (0x1FFFE): ", ", 无需改写.", "CRC (0x1FFF0): ", ", 无需改写."}},
            {{"check", "--", At("-x.nor")}, 0, {"检查: 全部正确"}},
            {{"verify-nand", "--port", port, "--blocks", "2-4", At("x.nand")}, 2, {"修复的块应该在1到 3之间,请重新填写."}},
            {{"verify-nor", "--port", port, At("x.nand")}, 1, {fileError, "这是一个Nand映像,不是Nor映像"}},
            {{"compare", At("x.nand")}, 2, {"B is required", "usage: tolvar compare"}},
            {{"compare", At("x.nand"), At("-x.nor")}, 1, {fileError, "-x.nor: 这是一个Nor映像,不是Nand映像"}},
            {{"compare", At("x.nand"), At("x.nand")}, 0, {"A: ", "Nand映像, 3块, 逻辑块2h-4h", "比较的块数: 3", "结果: 相同"}},
        });
}

TEST_F(CommandLine, HandheldSim) {
  fs::create_directory(dir / "folder");
  Check(HANDHELD_SIM_PROGRAM, {
                                  {{"--nand", At("folder")}, 1, {At("folder"), "这是一个文件夹"}},
                                  {{"--nor", "/dev/null"}, 1, {"/dev/null: 这是一个设备"}},
                                  {{"--save-nand", At("folder")}, 1, {At("folder") + " 是文件夹"}},
                                  {{"--save-nor", At("none/x.nor")}, 1, {"文件夹 " + At("none") + " 不存在"}},
                                  {{"--help"}, 0, {"usage: handheld-sim", "--nak-at"}},
                                  {{"--nor-pages", "0"}, 2, {"--nor-pages", "usage: handheld-sim"}},
                                  {{"--model", "3000"}, 2, {"--model"}},
                                  {{"--offer", "all"}, 2, {"--offer"}},
                                  {{"--bad-header", "x1"}, 2, {"--bad-header"}},
                                  {{"--trace", "extra"}, 2, {"extra"}},
                              });
}

// A session's flash outlives a save place that went away while it ran: it
// goes to the system's temporary folder, and the output says where.
TEST_F(CommandLine, HandheldSimKeepsItsFlashWhenItCannotBeSavedWhereAsked) {
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"the folder is gone", [this] { fs::remove_all(dir / "place"); }},
      {"a folder took the name", [this] { fs::create_directory(dir / "place" / "x.nand"); }},
  };
  for (const auto& [name, meanwhile] : cases) {
    SCOPED_TRACE(name);
    fs::create_directory(dir / "place");
    fs::remove(At("sim.log"));
    SimProcess sim(HANDHELD_SIM_PROGRAM, {"--save-nand", At("place/x.nand")}, At("sim.log"));
    ASSERT_TRUE(sim.Ok());
    meanwhile();
    EXPECT_EQ(sim.Stop(), 1);
    std::ifstream in(At("sim.log"));
    const std::string output{std::istreambuf_iterator<char>(in), {}};
    const std::string saved = "; the flash is saved in ";
    const std::size_t from = output.find(saved);
    ASSERT_NE(from, std::string::npos) << output;
    const std::string file = output.substr(from + saved.size(), output.find(" instead", from) - from - saved.size());
    EXPECT_EQ(ReadFile(file).size(), 4 * nand::kBlockSize + nand::kTrailerSize) << output;  // the default 4 blocks
    fs::remove(file);
    fs::remove_all(dir / "place");
  }
}

}  // namespace
