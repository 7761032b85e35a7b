#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>

#include "common/command_line_parser.h"
#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/image_layout.h"
#include "common/interruption.h"
#include "common/safe_replace.h"
#include "common/system_reason.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "support/files.h"
#include "support/temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#endif

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

// A start's trailer bytes and block code, both ways; the lengths that are
// whole blocks and the trailer.
TEST(ImageLayout, TrailerAndBlockCodeRoundTripAndWholeBlockLengths) {
  const struct {
    unsigned start;
    std::array<std::uint8_t, 2> trailer;
    int code;
  } starts[] = {{1, {0x01, 0x00}, 0x1FFF}, {2, {0x02, 0x00}, 0}, {0xC32, {0x32, 0x0C}, 0xC30}, {0xFFF, {0xFF, 0x0F}, 0xFFD}};
  for (const auto& s : starts) {
    EXPECT_EQ(nand::TrailerBytes(s.start), s.trailer) << s.start;
    EXPECT_EQ(nand::StartFromTrailer(s.trailer.data()), s.start);
    EXPECT_EQ(nand::BlockCode(static_cast<int>(s.start)), s.code) << s.start;
    EXPECT_EQ(nand::LogicalBlockOfCode(s.code), static_cast<int>(s.start));
  }
  const struct {
    std::uint64_t length;
    std::optional<std::size_t> blocks;
  } lengths[] = {{0, {}}, {1, {}}, {2, 0}, {16897, {}}, {16898, 1}, {16899, {}}, {2 * 16896 + 1, {}},
                 {nand::ImageLength(4095), 4095}, {nand::ImageLength(4095) - 16896 / 2, {}}, {nand::ImageLength(0x2000), 0x2000}};
  for (const auto& l : lengths) EXPECT_EQ(nand::BlocksInImage(l.length), l.blocks) << l.length;
}

// Every text of a verb's help goes through the translation, CLI11's own words
// included, and the descriptions stand in one terminal column however many
// double-width characters the names hold: Chinese takes three bytes for two
// columns, so its lines hold two more bytes before the description.
TEST(HelpTranslation, TranslatesEveryTextAndKeepsTheDescriptionsInOneColumn) {
  const std::map<std::string, std::string> chinese = {
      {"Backs up.", "备份。"},  {"back up", "备份闪存"}, {"the image", "映像文件"}, {"the port", "端口号"},
      {"Options", "选项"},      {"OPTIONS", "选项"},      {"Positionals", "参数"},  {"REQUIRED", "必填"},       {"usage", "用法"},
      {"Print this help message and exit", "显示帮助"}};
  SetHelpTranslation([&chinese](const std::string& program, const std::string& text) {
    EXPECT_EQ(program, "prog");
    const auto found = chinese.find(text);
    return found == chinese.end() ? text : found->second;
  });
  CLI::App app("Backs up.", "prog");
  std::string port, file;
  CLI::App* verb = app.add_subcommand("backup", "back up");
  verb->add_option("--port", port, "the port")->required()->type_name("PORT");
  verb->add_option("FILE", file, "the image")->required()->type_name("");
  std::ostringstream out, err;
  const std::optional<int> status = ParseCommandLine(app, {"backup", "--help"}, out, err);
  SetHelpTranslation({});
  EXPECT_EQ(status, kExitSuccess);
  const std::string help = out.str();
  const std::pair<const char*, std::size_t> lines[] = {
      {"用法: prog backup [选项] FILE", 0}, {"参数:", 0}, {"选项:", 0}, {"备份闪存", 0},
      {"  FILE 必填", 0}, {"映像文件", 32}, {"--port PORT 必填", 2}, {"端口号", 32}, {"-h,--help", 2}, {"显示帮助", 30}};
  for (const auto& [text, column] : lines) {
    const std::size_t at = help.find(text);
    ASSERT_NE(at, std::string::npos) << text << " in\n" << help;
    EXPECT_EQ(at - (help.rfind('\n', at) + 1), column) << text << " in\n" << help;
  }
}

TEST(SystemReason, CommonReasonsReadInChineseWithTheSystemTextInBrackets) {
  struct Case {
    int errorNumber;
    unsigned long windowsCode;
    const char* chinese;
  } const cases[] = {
      {ENOSPC, 112, "磁盘空间已满"},   {EACCES, 5, "没有权限"},          {ENOENT, 2, "文件或文件夹不存在"},
      {EROFS, 19, "只读的文件系统"},    {EISDIR, 267, "这是一个文件夹"},  {ENAMETOOLONG, 206, "文件名太长"},
      {EBUSY, 32, "设备或文件正被占用"},  {ELOOP, 1921, "符号链接太多层或成环"}, {EXDEV, 17, "不能跨文件系统重命名"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SystemReason(c.errorNumber), std::string(c.chinese) + " (" + std::strerror(c.errorNumber) + ")");
    EXPECT_EQ(WindowsReason(c.windowsCode, "system text"), std::string(c.chinese) + " (system text)");
  }
  // Everything else is the system's text alone.
  EXPECT_EQ(SystemReason(EIO), std::strerror(EIO));
  EXPECT_EQ(WindowsReason(1117, "I/O device error"), "I/O device error");
}

class FileTest : public TempFolderTest {
 protected:
  // A file of the folder with `content`; gives its path.
  std::string Write(const std::string& name, const std::string& content) {
    WriteText(At(name), content);
    return At(name);
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

#ifndef _WIN32
TEST_F(FileTest, FileExistsAnswersAtOnceForPipesAndDevices) {
  const fs::path pipe = dir / "x.nand";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  fs::create_symlink(pipe, dir / "link.nand");
  for (const fs::path& path : {pipe, dir / "link.nand", fs::path("/dev/null")}) {
    auto answer = std::async(std::launch::async, [path] { return FileExists(path.string()); });
    bool stuck = false;  // a stuck call is let go by opening the pipe's other end
    for (; answer.wait_for(std::chrono::seconds(5)) != std::future_status::ready; stuck = true)
      if (const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK); writer >= 0) close(writer);
    EXPECT_FALSE(stuck) << path;
    EXPECT_FALSE(answer.get()) << path;
  }
}
#endif

TEST_F(FileTest, ReplaceWithTemporaryPutsTheNewFileInPlaceOrChangesNothing) {
  const std::string target = Write("x.nand", "old");
  const std::string temp = Write("x.nand.temp", "new");
  std::string error;
  ASSERT_TRUE(ReplaceWithTemporary(temp, target, error)) << error;
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_FALSE(fs::exists(temp));

  // A folder in the way: the temporary file stays, the folder is untouched.
  fs::create_directory(dir / "folder.nand");
  const std::string temp2 = Write("folder.nand.temp", "data");
  EXPECT_FALSE(ReplaceWithTemporary(temp2, (dir / "folder.nand").string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadText(temp2), "data");
  EXPECT_TRUE(fs::is_directory(dir / "folder.nand"));
}

// What may take a file we write, and which file that is.
TEST_F(FileTest, CheckTargetNamesWhatStandsInTheWay) {
  Write("x.nand", "old");
  fs::permissions(Write("readonly.nand", "old"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directory(dir / "folder");
  struct Case {
    std::string path;
    std::string problem;  // a text the problem holds; empty: may be written
    bool exists;
    std::string resolved;  // "" : the path itself
  };
  const std::string d = Utf8FromPath(dir / "");
  std::vector<Case> cases = {
      {d + "x.nand", "", true, ""},
      {d + "new.nand", "", false, ""},
      {d + "folder", d + "folder 是文件夹", true, ""},
      {d + "readonly.nand", d + "readonly.nand : 这是只读文件,不能替换!", true, ""},  // root's too
      {d + "none/x.nand", d + "none/x.nand : 文件夹 " + d + "none 不存在", false, ""},
      {d + "x.nand/y.nand", d + "x.nand 不是文件夹", false, ""},
      {"", "没有指定", false, ""},
  };
#ifndef _WIN32  // links need a privilege on Windows, FIFOs and devices are POSIX
  fs::create_symlink("x.nand", dir / "link.nand");
  fs::create_symlink("link.nand", dir / "link2.nand");
  fs::create_symlink("new.nand", dir / "dangling.nand");
  cases.push_back({d + "link2.nand", "", true, d + "x.nand"});
  cases.push_back({d + "dangling.nand", "", false, d + "new.nand"});
  mkfifo((dir / "fifo").c_str(), 0600);
  fs::create_symlink("/dev/null", dir / "null.nand");
  cases.push_back({d + "fifo", d + "fifo 是命名管道(FIFO)", true, ""});
  cases.push_back({d + "null.nand", d + "null.nand (指向 /dev/null) 是设备", true, "/dev/null"});
  if (geteuid() != 0) {  // root writes everywhere
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    cases.push_back({d + "locked/x.nand", "文件夹 " + d + "locked 无法写入: " + SystemReason(EACCES), false, ""});
  }
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Target t = CheckTarget(c.path);
    if (c.problem.empty()) {
      EXPECT_EQ(t.problem, "");
    } else {
      EXPECT_NE(t.problem.find(c.problem), std::string::npos) << t.problem;
    }
    EXPECT_EQ(t.exists, c.exists);
    if (!c.path.empty()) {
      EXPECT_EQ(t.path, c.resolved.empty() ? c.path : c.resolved);
    }
  }
  fs::permissions(d + "readonly.nand", fs::perms::owner_write, fs::perm_options::add);  // for Windows to delete it
}

#ifndef _WIN32
// What `call` gives for a user without privileges: when the tests run as
// root, in a child process that became `nobody`.
std::string AsNobody(const std::function<std::string()>& call) {
  if (geteuid() != 0) return call();
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
    const std::string problem = call();
    _exit(write(fds[1], problem.data(), problem.size()) == static_cast<ssize_t>(problem.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string problem;
  char buffer[512];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) problem.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? problem : "child failed";
}

// Files the folder would let a rename take, but whose owner said otherwise:
// refused before anything is sent, not after the transfer.
TEST_F(FileTest, CheckTargetRefusesOtherUsersFilesThatTheRenameWouldTake) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make another user's files";
  fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec);
  for (const char* folder : {"open", "sticky"}) {
    fs::create_directory(dir / folder);
    fs::permissions(dir / folder, fs::perms::all | (folder[0] == 's' ? fs::perms::sticky_bit : fs::perms::none));
  }
  struct Case {
    std::string file;
    mode_t mode;
    uid_t owner;
    std::string problem;  // a text the problem holds; empty: may be replaced
  } const cases[] = {
      {"open/root.nand", 0644, 0, "没有写入这个文件的权限: " + SystemReason(EACCES)},
      {"open/readonly.nand", 0444, 0, "这是只读文件,不能替换"},
      {"open/shared.nand", 0666, 0, ""},
      {"sticky/root.nand", 0666, 0, "文件属于别的用户,文件夹 " + (dir / "sticky").string() + " 只允许文件的主人替换它"},
      {"sticky/own.nand", 0644, 65534, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = Write(c.file, "old");
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    ASSERT_EQ(chown(path.c_str(), c.owner, c.owner), 0);
    const std::string problem = AsNobody([&] { return CheckTarget(path).problem; });
    if (c.problem.empty()) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find("无法保存为 " + path + " : " + c.problem), std::string::npos) << problem;
    }
  }
}

// A replaced file keeps who may read it: a private image stays private.
TEST_F(FileTest, AReplacedFileKeepsItsPermissionsAndOwner) {
  const bool root = geteuid() == 0;
  struct Case {
    mode_t mode;
    uid_t owner;  // root alone may give a file away
  } const cases[] = {{0600, getuid()}, {0640, getuid()}, {0604, root ? 65534u : getuid()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string target = Write("x.nand", "old");
    ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    ASSERT_EQ(chown(target.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    TemporaryFile file(target);
    ASSERT_TRUE(file.Create()) << file.Error();
    struct stat now {};
    ASSERT_EQ(stat(file.path().c_str(), &now), 0);  // private from the start, not only once renamed
    EXPECT_EQ(now.st_mode & 07777, c.mode);
    EXPECT_EQ(now.st_uid, c.owner);
    ASSERT_TRUE(file.Write("new", 3) && file.Commit()) << file.Error();
    ASSERT_EQ(stat(target.c_str(), &now), 0);
    EXPECT_EQ(ReadText(target), "new");
    EXPECT_EQ(now.st_mode & 07777, c.mode);
    EXPECT_EQ(now.st_uid, c.owner);
  }
  // A write-only image, replaced by its owner: the file is flushed through the handle held.
  const std::string writeOnly = Write("w.nand", "old");
  ASSERT_EQ(chmod(writeOnly.c_str(), 0200), 0);
  ASSERT_EQ(root ? chown(writeOnly.c_str(), 65534, 65534) | chown(dir.c_str(), 65534, 65534) : 0, 0);
  TemporaryFile file(writeOnly);
  EXPECT_EQ(AsNobody([&] { return file.Create() && file.Write("new", 3) && file.Commit() ? "" : file.Error(); }), "");
  EXPECT_EQ(ReadText(writeOnly), "new");
}
#endif

TEST_F(FileTest, TemporaryFilesNeverTouchAFileTheyDidNotCreate) {
  struct Case {
    const char* name;
    std::string target;
    std::vector<std::string> taken;  // names already in use, holding "mine"
    std::string temporary;           // the name the temporary file gets
  };
  const std::string d = Utf8FromPath(dir / "");
  const std::string longName = std::string(244, 'n') + "文件.nand";  // 255 bytes
  const std::string stem = std::string(40, 'n');
  const Case cases[] = {
      {"free", d + "a.nand", {}, d + "a.nand.temp"},
      {"taken twice", d + "b.nand", {d + "b.nand.temp", d + "b.nand.1.temp"}, d + "b.nand.2.temp"},
      {"too long", d + longName, {}, d + stem + ".temp"},
      {"too long, short name taken", d + longName, {d + stem + ".temp"}, d + stem + ".1.temp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& taken : c.taken) Write(fs::path(taken).filename().string(), "mine");
    TemporaryFile file(c.target);
    ASSERT_TRUE(file.Create()) << file.Error();
    EXPECT_EQ(file.path(), c.temporary);
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(ReadText(c.target), "new");
    EXPECT_FALSE(fs::exists(c.temporary));
    for (const std::string& taken : c.taken) EXPECT_EQ(ReadText(taken), "mine");
    for (const std::string& taken : c.taken) fs::remove(taken);
  }

  // A discarded file is gone; one that could not be renamed is kept when asked.
  TemporaryFile discarded(d + "c.nand");
  ASSERT_TRUE(discarded.Create());
  discarded.Discard();
  EXPECT_FALSE(fs::exists(d + "c.nand.temp"));
  fs::create_directory(d + "folder.nand");
  TemporaryFile kept(d + "folder.nand");
  ASSERT_TRUE(kept.Create());
  ASSERT_TRUE(kept.Write("data", 4));
  EXPECT_FALSE(kept.Commit());
  EXPECT_NE(kept.Error().find("是文件夹"), std::string::npos) << kept.Error();
  EXPECT_TRUE(kept.Holds());
  kept.Keep();
  EXPECT_EQ(ReadText(d + "folder.nand.temp"), "data");
}

TEST_F(FileTest, AFailedWriteGivesTheSystemsReasonAndLeavesNothing) {
  SetWriteFault([](std::uint64_t written, std::size_t count) { return written + count > 6 ? ENOSPC : 0; });
  {
    TemporaryFile file((dir / "x.nand").string());
    ASSERT_TRUE(file.Create());
    EXPECT_TRUE(file.Write("abc", 3));
    EXPECT_TRUE(file.Write("def", 3));
    EXPECT_FALSE(file.Write("g", 1));
    EXPECT_EQ(file.Error(), SystemReason(ENOSPC));
  }
  SetWriteFault(nullptr);
  EXPECT_TRUE(fs::is_empty(dir));
}

#ifndef _WIN32
TEST(Interruption, IsNotedInsteadOfEndingTheProgram) {
  CatchInterruptions();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(signal);
    EXPECT_FALSE(Interrupted());
    raise(signal);
    EXPECT_TRUE(Interrupted());
    ForgetInterruption();
  }
  // A read waiting for input returns at once.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pthread_t reader = pthread_self();
  std::thread interrupter([reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pthread_kill(reader, SIGTERM);
  });
  char byte;
  const ssize_t got = read(fds[0], &byte, 1);
  const int error = errno;
  interrupter.join();
  EXPECT_EQ(got, -1);
  EXPECT_EQ(error, EINTR);
  EXPECT_TRUE(Interrupted());
  ForgetInterruption();
  close(fds[0]);
  close(fds[1]);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, SIG_DFL);
}
#endif
