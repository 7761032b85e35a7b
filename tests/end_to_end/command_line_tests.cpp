// build/tolvar and build/handheld-sim called as a user calls them, for what
// the command line itself decides: usage errors (status 2), --help, --, and
// images refused with the reason before any port is opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <utility>

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
  void SetUp() override { SpeakTheSystemsLanguage("C.UTF-8"); }  // the usages checked here are English
  void Sparse(const std::string& name, std::uintmax_t size) {
    WriteFile(dir / name, {});
    fs::resize_file(dir / name, size);
  }

  static void SpeakTheSystemsLanguage(const char* locale) {
    setenv("LC_ALL", locale, 1);
    unsetenv("LANGUAGE");
  }
  // The program's status and what it printed.
  std::pair<int, std::string> Run(std::vector<std::string> argv) {
    const std::string log = At("output.log");
    fs::remove(log);
    Child child = Spawn(argv, log);
    const int status = Wait(child, 30s);
    return {status, ReadText(log)};
  }

  void Check(const std::string& program, const std::vector<Call>& calls) {
    for (const Call& call : calls) {
      std::vector<std::string> argv = {program};
      argv.insert(argv.end(), call.arguments.begin(), call.arguments.end());
      const auto [status, output] = Run(argv);
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
  WriteFile(dir / "x.nand", WithTrailer(Bytes(3 * 16896, 0xFF), 2));  // erased, from logical block 2
  WriteFile(dir / "start0.nand", Bytes(3 * 16896 + 2, 0));  // starting logical block 0
  Sparse("huge.nand", 300000ull * 16896 + 2);                // 300000 blocks from logical block 0
  WriteFile(dir / "empty.nor", {});
  WriteFile(dir / "no-blocks.nand", {2, 0});
  WriteFile(dir / "frame.nor", Bytes(256, 0));
  fs::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  fs::create_symlink("loop", dir / "loop");
  fs::create_hard_link(dir / "x.nand", dir / "hard.nand");
  const std::string fileError = "文件错误!";
  const std::string partialItself = " : 它就是要接着的部分映像 " + At("x.nand") + ", 部分映像只读不写!";
  Check(TOLVAR_PROGRAM,
        {
            {{"--help"}, 0, {"usage: tolvar", "backup-nor", "fix-nor-checks"}},
            {{"repair-nand", "-h"}, 0, {"usage: tolvar repair-nand", "--blocks FIRST-LAST"}},
            {{"backup-nand", "--port", port, ""}, 2, {"tolvar: FILE: names no file", "usage: tolvar backup-nand"}},
            {{"backup-nand", "--port", port}, 2, {"FILE is required"}},
            {{"--version"}, 0, {std::string("tolvar ") + PROGRAM_VERSION + "\n"}},
            {{"--version", "extra"}, 2, {"tolvar: unexpected argument extra"}},
            // Help whatever follows; an empty --port= never takes FILE for its value.
            {{"repair-nor", "--help", "--pages", "zz"}, 0, {"usage: tolvar repair-nor"}},
            {{"backup-nor", "--port=", At("y.nor")}, 2, {"tolvar: option --port is given no value", "usage: tolvar backup-nor"}},
            {{"backup-nor", "--port", "AUTO", At("y.nor")}, 1, {"tolvar: --port auto: "}},
            {{"compare", At("loop"), At("x.nand")}, 1, {fileError, "符号链接太多层或成环"}},
            {{"bogus"}, 2, {"tolvar: unknown command bogus", "usage: tolvar"}},
            // A word no option takes comes first, by name, before what it caused.
            {{"backup-nand", "--prot", port, At("y.nand")}, 2, {"tolvar: unknown option --prot\n"}},
            {{"fix-nor-checks", "-x.nor"}, 2, {"unknown option -x.nor", "tolvar fix-nor-checks [OPTIONS] -- -x.nor"}},
            {{"compare", At("x.nand"), At("x.nand"), "extra"}, 2, {"tolvar: unexpected argument extra"}},
            {{"backup-nor", "--port", "com0", At("y.nor")}, 2, {"--port: com0 is not a port: give com1 to com256"}},
            {{"backup-nor", "--port", "", At("y.nor")}, 2, {"--port: names no port: give com1 to com256"}},
            {{"backup-nor", "--port", port, "--model", "3000", At("y.nor")}, 2,
             {"--model: 3000 is not a model: give NC3000 or 2000系列 (or 2000)"}},
            {{"backup-nor", "--port", port, "--model", "nc3000", At("y.nor")}, 1, {"串口打开失败!"}},
            {{"repair-nor", "--port", port, "--pages", "00,03", At("-x.nor")}, 2, {"--pages: 00,03 is not a page list"}},
            {{"repair-nor", "--port", port, "--pages", "00,", At("-x.nor")}, 2, {"--pages: 00, is not a page list"}},
            {{"repair-nor", "--port", port, "--pages", ",00", At("-x.nor")}, 2, {"--pages: ,00 is not a page list"}},
            {{"repair-nand", "--port", port, "--blocks", "1-3-5", At("x.nand")}, 2, {"--blocks: 1-3-5 is not a block range"}},
            {{"repair-nand", "--port", port, "--blocks", "1abc-3xyz", At("x.nand")}, 2, {"--blocks"}},
            {{"repair-nand", "--port", port, "--blocks", "2-4", At("x.nand")}, 2, {"修复的块应该在1到 3之间,请重新填写."}},
            {{"repair-nand", "--port", port, At("missing.nand")}, 1, {fileError, At("missing.nand") + ": 文件或文件夹不存在"}},
            {{"repair-nand", "--port", port, At("-x.nor")}, 1, {fileError, "文件长度为196608字节"}},
            {{"repair-nand", "--port", port, At("start0.nand")}, 1,
             {"文件对应的开始逻辑块号错误,无法修复!", "开始逻辑块号为0h,3块的映像应为1h到FFDh"}},
            {{"repair-nor", "--port", port, At("folder")}, 1, {fileError, At("folder") + ": 这是一个文件夹"}},
            {{"repair-nor", "--port", port, At("fifo")}, 1, {fileError, "管道"}},
            {{"repair-nor", "--port", port, At("257.nor")}, 1, {fileError, "文件长度为8421376字节"}},
            {{"fix-nor-checks", At("huge.nor")}, 1, {fileError, At("huge.nor") + ": 文件长度为75161927680字节"}},
            {{"check", "--", At("-x.nor")}, 1, {"Nor映像, 6页", "CRC (0x1FFF0): 文件中为 00 00", "检查: CRC不符\n"}},
            {{"check", At("fifo")}, 1, {fileError, "管道"}},
            {{"check", At("x.nand")}, 0, {"Nand映像, 3块, 逻辑块2h-4h", "已擦除页数: 96", "检查: 全部正确"}},
            // Numbers the handheld has no block for are said to be so; too many blocks are not read through.
            {{"check", At("start0.nand")}, 1, {"Nand映像, 3块, 逻辑块0h-2h (超出1h-FFFh)", "检查: 逻辑块号超出1h-FFFh, 损坏 96页"}},
            {{"compare", At("start0.nand"), At("start0.nand")}, 0, {"逻辑块0h-2h (超出1h-FFFh)", "结果: 相同"}},
            {{"check", At("huge.nand")}, 1, {fileError, "huge.nand: 文件长度为5068800002字节,有300000块,逻辑块只有1h-FFFh,最多4095块"}},
            {{"compare", At("huge.nand"), At("huge.nand")}, 1, {fileError, "有300000块"}},
            {{"fix-nor-checks", "--", At("-x.nor")}, 0, {"NorCheckSum (0x1FFFE): 文件中为 00 00, 计算值为 ", ", 已改写.",
                                                           "CRC (0x1FFF0): 文件中为 00 00, 计算值为 ", ", 已改写."}},
            {{"fix-nor-checks", "--", At("-x.nor")}, 0, {"NorCheckSum (0x1FFFE): ", ", 无需改写.", "CRC (0x1FFF0): ", ", 无需改写."}},
            {{"check", "--", At("-x.nor")}, 0, {"检查: 全部正确"}},
            {{"verify-nand", "--port", port, "--blocks", "2-4", At("x.nand")}, 2, {"修复的块应该在1到 3之间,请重新填写."}},
            {{"verify-nor", "--port", port, At("x.nand")}, 1, {fileError, "这是一个Nand映像,不是Nor映像"}},
            {{"compare", At("x.nand")}, 2, {"B is required", "usage: tolvar compare"}},
            {{"compare", At("x.nand"), At("-x.nor")}, 1, {fileError, "-x.nor: 文件长度为196608字节,这是一个Nor映像,不是Nand映像"}},
            // Nothing to compare or check is refused, naming the file.
            {{"verify-nor", "--port", port, At("empty.nor")}, 1, {fileError, At("empty.nor") + ": 文件长度为0字节"}},
            {{"verify-nand", "--port", port, At("no-blocks.nand")}, 1, {fileError, At("no-blocks.nand") + ": 文件长度为2字节"}},
            {{"verify-nor", "--port", port, "--pages", "01", At("frame.nor")}, 2, {"--pages: 所选的页都不在文件中"}},
            {{"check", At("no-blocks.nand")}, 1, {fileError, At("no-blocks.nand") + ": 文件长度为2字节,只有开始逻辑块号"}},
            {{"check", At("frame.nor")}, 1, {fileError, At("frame.nor") + ": 文件长度为256字节,应为6到256个整页"}},
            {{"compare", At("x.nand"), At("x.nand")}, 0, {"A: ", "Nand映像, 3块, 逻辑块2h-4h", "比较的块数: 3", "结果: 相同"}},
            {{"backup-nand", "--port", port, "--continue", At("start0.nand"), At("y.nand")}, 1,
             {fileError, "start0.nand: 开始逻辑块号为0h"}},
            {{"backup-nand", "--port", port, "--retries", "-1", At("y.nand")}, 2, {"--retries: -1 is not a count: give"}},
            {{"backup-nand", "--port", port, "--continue", At("x.nand"), At("x.nand")}, 1, {At("x.nand") + partialItself}},
            {{"backup-nand", "--port", port, "--continue", At("x.nand"), At("hard.nand")}, 1, {partialItself}},
        });
}

// fix-nor-checks opens a NOR image for writing only when a value must change:
// one that may not be written (read-only even for root, on a read-only
// mount) is refused with the reason when a value is wrong, and taken as it
// is when both are right. Nothing in it changes either way.
TEST_F(CommandLine, ReadOnlyNorImagesAreNeverWritten) {
  const Bytes zeros(6 * 32768, 0);  // check values to correct
  WriteFile(dir / "fixed.nor", zeros);
  Check(TOLVAR_PROGRAM, {{{"fix-nor-checks", At("fixed.nor")}, 0, {"已改写."}}});
  const Bytes fixed = ReadFile(dir / "fixed.nor");
  fs::create_directory(dir / "mount");
  for (const std::string folder : {"", "mount/"}) {
    WriteFile(dir / (folder + "wrong.nor"), zeros);
    WriteFile(dir / (folder + "right.nor"), fixed);
  }
  for (const char* name : {"wrong.nor", "right.nor"}) fs::permissions(dir / name, fs::perms::owner_read);
  const std::string refused = "无法写入文件,不能校正文件的校验值!";
  Check(TOLVAR_PROGRAM, {{{"fix-nor-checks", At("wrong.nor")}, 1, {refused, At("wrong.nor") + ": 这是只读文件"}},
                         {{"fix-nor-checks", At("right.nor")}, 0, {"无需改写.", "无需改写."}}});
  // A private mount namespace of its own, where the folder is mounted read-only.
  if (std::system("unshare -m true 2>/dev/null") == 0) {
    const auto onMount = [&](const std::string& name) -> std::vector<std::string> {
      return {"-m", "/bin/sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$1\" fix-nor-checks \"$0/$2\"",
              At("mount"), TOLVAR_PROGRAM, name};
    };
    Check("/usr/bin/unshare", {{onMount("wrong.nor"), 1, {refused, At("mount/wrong.nor") + ": 只读的文件系统"}},
                               {onMount("right.nor"), 0, {"无需改写.", "无需改写."}}});
  }
  for (const std::string folder : {"", "mount/"}) {
    EXPECT_EQ(ReadFile(dir / (folder + "wrong.nor")), zeros) << folder;
    EXPECT_EQ(ReadFile(dir / (folder + "right.nor")), fixed) << folder;
  }
}

// join takes NAND images whose blocks follow on or overlap, in any order, and
// writes nothing when a block is missing or two images disagree on one.
TEST_F(CommandLine, JoinMakesOneImageOfPiecesThatFit) {
  const Bytes blocks = RandomBytes(4 * nand::kBlockSize, 23);  // logical blocks 2 to 5
  const auto piece = [&](const char* name, int first, int count) {
    const Bytes image = WithTrailer(
        Bytes(blocks.begin() + first * nand::kBlockSize, blocks.begin() + (first + count) * nand::kBlockSize),
        static_cast<unsigned>(2 + first));
    WriteFile(dir / name, image);
    return image;
  };
  const Bytes whole = piece("whole.nand", 0, 4), front = piece("front.nand", 0, 3);
  piece("back.nand", 1, 3);
  piece("first.nand", 0, 1);
  piece("third.nand", 2, 1);
  piece("last.nand", 3, 1);
  Bytes other = piece("other.nand", 2, 2);
  other[100] ^= 0x01;  // logical block 4 differs from front.nand's
  WriteFile(dir / "other.nand", other);
  Check(TOLVAR_PROGRAM,
        {
            {{"join", At("back.nand"), At("front.nand"), At("out.nand")}, 0,
             {"已合并为 " + At("out.nand") + ": Nand映像, 4块, 逻辑块2h-5h", "SHA-256"}},
            {{"join", At("last.nand"), At("first.nand"), At("gap.nand")}, 1, {"无法合并: 缺少逻辑块 3h-4h"}},
            {{"join", At("third.nand"), At("first.nand"), At("gap.nand")}, 1, {"无法合并: 缺少逻辑块 3h ("}},
            {{"join", At("front.nand"), At("other.nand"), At("gap.nand")}, 1,
             {"无法合并: 逻辑块 4h 在 " + At("front.nand") + " 与 " + At("other.nand") + " 中不同"}},
            {{"join", At("front.nand"), At("back.nand"), At("front.nand")}, 1, {"是要合并的文件之一"}},
            {{"join", At("whole.nand"), At("none.nand")}, 2, {"At least 3"}},
        });
  EXPECT_EQ(ReadFile(dir / "out.nand"), whole);
  EXPECT_FALSE(fs::exists(dir / "gap.nand"));
  EXPECT_EQ(ReadFile(dir / "front.nand"), front);
}

// Without a display the window cannot open: one line says so and how to use
// the command line instead.
TEST_F(CommandLine, TolvarWithoutADisplay) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);  // no test here needs them
  Check(TOLVAR_PROGRAM, {{{}, 1, {"tolvar: 没有找到可以显示窗口的图形界面", "tolvar --help\n"}}});
  const std::string output = ReadText(At("output.log"));
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << "one line";
}

TEST_F(CommandLine, HandheldSim) {
  fs::create_directory(dir / "folder");
  WriteFile(dir / "past.nand", WithTrailer(Bytes(2 * 16896, 0xFF), 0xFFF));  // logical blocks FFFh and 1000h
  Check(HANDHELD_SIM_PROGRAM, {
                                  {{"--nand", At("folder")}, 1, {At("folder"), "这是一个文件夹"}},
                                  {{"--nor", "/dev/null"}, 1, {"/dev/null: 这是一个设备"}},
                                  {{"--save-nand", At("folder")}, 1, {At("folder") + " 是文件夹"}},
                                  {{"--save-nor", At("none/x.nor")}, 1, {"文件夹 " + At("none") + " 不存在"}},
                                  {{"--help"}, 0, {"usage: handheld-sim", "--resume", "--ber P", "--nak-at"}},
                                  {{"--nor-pages", "0"}, 2, {"--nor-pages", "usage: handheld-sim"}},
                                  {{"--model", "3000"}, 2, {"--model: 3000 is not a model: give NC3000 or 2000"}},
                                  {{"--nand-start", "4000", "--nand-blocks", "97"}, 2, {"runs past logical block FFFh"}},
                                  {{"--nand", At("past.nand")}, 1, {"are not all logical blocks 1 to 4095 (1h-FFFh)"}},
                                  {{"--offer", "all"}, 2, {"--offer"}},
                                  {{"--bad-header", "x1"}, 2, {"--bad-header"}},
                                  {{"--trace", "extra"}, 2, {"extra"}},
                              });
}

// Every help of the three programs in Chinese when the system speaks
// Chinese, and in English otherwise. A line with two English words in a row
// in the Chinese help (but for the usage line's program and verb) is a text
// without its translation.
TEST_F(CommandLine, HelpSpeaksTheSystemsLanguage) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> programs = {
      {TOLVAR_PROGRAM,
       {"", "backup-nor", "backup-nand", "repair-nor", "repair-nand", "verify-nor", "verify-nand", "compare",
        "fix-nor-checks", "ports"}},
      {CORVANE_PROGRAM, {"", "nand2data", "data2nand", "verify"}},
      {HANDHELD_SIM_PROGRAM, {""}}};
  const std::regex englishWords(R"((^|[^-\w./])[A-Za-z]{2,} [a-z]{2,}([^-\w]|$))");
  for (const auto& [program, verbs] : programs)
    for (const std::string& verb : verbs) {
      std::vector<std::string> argv = {program, verb, "--help"};
      if (verb.empty()) argv.erase(argv.begin() + 1);
      const std::string call = fs::path(program).filename().string() + " " + verb + " --help";
      SpeakTheSystemsLanguage("zh_CN.UTF-8");
      const auto [status, chinese] = Run(argv);
      EXPECT_EQ(status, 0) << call << "\n" << chinese;
      EXPECT_NE(chinese.find("用法: "), std::string::npos) << call << "\n" << chinese;
      std::istringstream lines(chinese);
      for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.rfind("用法: ", 0) == 0 || !std::regex_search(line, englishWords))
            << call << " under LC_ALL=zh_CN.UTF-8 has a text without translation:\n  " << line
            << "\nAdd its English text and the Chinese to translations/tolvar_zh_CN.ts.";
      SpeakTheSystemsLanguage("C.UTF-8");
      const std::string english = Run(argv).second;
      EXPECT_NE(english.find("usage: "), std::string::npos) << call << "\n" << english;
    }
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
    const std::string output = ReadText(At("sim.log"));
    std::smatch saved;
    ASSERT_TRUE(std::regex_search(output, saved, std::regex("; the flash is saved in (.*) instead"))) << output;
    const std::string file = saved[1];
    EXPECT_EQ(ReadFile(file).size(), 4 * nand::kBlockSize + nand::kTrailerSize) << output;  // the default 4 blocks
    fs::remove(file);
    fs::remove_all(dir / "place");
  }
}

}  // namespace
