#include "link/port_reason.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/qt_serial_io.h"
#include "pty_devices.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

// Every port failure reads "DEVICE: 中文 (system text)": from errno where the
// system gave one, from Qt's error where it did not (Windows), from the lock
// file's holder when another program has the port.
TEST(PortReason, EveryFailureReadsDeviceChineseAndSystemText) {
  using E = QSerialPort;
  const auto text = [](int e) { return std::string(" (") + std::strerror(e) + ")"; };
  const std::pair<PortFailure, std::string> cases[] = {
      {{E::PermissionError, EEXIST, "Permission error while locking the device", "串口正被另一个程序占用 (进程 42, minicom)"},
       "D: 串口正被另一个程序占用 (进程 42, minicom)"},
      {{E::PermissionError, EEXIST, "锁定设备时出现权限错误", ""}, "D: 串口正被另一个程序占用" + text(EEXIST)},
      {{E::PermissionError, EBUSY, "", ""}, "D: 串口正被另一个程序占用" + text(EBUSY)},
      {{E::PermissionError, EACCES, "", ""}, "D: 没有权限" + text(EACCES)},
      {{E::DeviceNotFoundError, ENOENT, "此文件或目录不存在", ""}, "D: 文件或文件夹不存在" + text(ENOENT)},
      {{E::UnknownError, EISDIR, "", ""}, "D: 这是一个文件夹" + text(EISDIR)},
      {{E::UnsupportedOperationError, ENOTTY, "", ""}, "D: 这不是串口" + text(ENOTTY)},
      {{E::UnknownError, ENXIO, "", ""}, "D: 设备不存在" + text(ENXIO)},
      {{E::DeviceNotFoundError, ENOEXEC, "", ""}, "D: 设备不存在" + text(ENOEXEC)},  // no words of its own
      {{E::ReadError, 0, "Unknown error", ""}, "D: 设备已断开 (hang-up)"},
      {{E::ResourceError, EIO, "", ""}, "D: 设备已断开" + text(EIO)},
      // Windows: no errno, Qt's error and the system's own text.
      {{E::PermissionError, -1, "Access is denied.", ""}, "D: 串口正被另一个程序占用或没有权限 (Access is denied.)"},
      {{E::ResourceError, -1, "The device does not recognize the command.", ""},
       "D: 设备已断开 (The device does not recognize the command.)"},
      {{E::DeviceNotFoundError, -1, "", ""}, "D: 设备不存在"},
  };
  for (const auto& [failure, expected] : cases) EXPECT_EQ(PortReason("D", failure), expected);
}

// Through Qt SerialPort: what a device that is no serial port gives.
TEST(PortReason, OpeningWhatIsNoPortSaysWhy) {
  const TempFolder temp;
  const std::filesystem::path& folder = temp.path();
  WriteText((folder / "plain").string(), "x");
  const std::pair<std::string, std::string> cases[] = {
      {folder.string(), "这是一个文件夹"},
      {(folder / "plain").string(), "这不是串口"},
      {(folder / "none").string(), "文件或文件夹不存在"},
  };
  for (const auto& [device, reason] : cases) {
    QtSerialIo io;
    io.SetDevice(1, device);
    EXPECT_NE(io.sio_open(1), 0);
    EXPECT_EQ(io.LastError().rfind(device + ": " + reason + " (", 0), 0u) << io.LastError();
  }
}

// Another program's lock file on the port, in each form serial programs
// write: a lock whose process lives means busy, and stays; one left behind
// by a program gone is taken over; any other is named and left alone.
TEST(PortLock, ALockOfALiveProcessMeansBusyWhateverItsForm) {
  RecordingDevice device;
  PtyLine line{device};
  ASSERT_TRUE(line.Ok()) << line.Error();
  const std::string slave = line.SlavePath();  // /dev/pts/N, locked as LCK..pts_N
  const std::string lock = "/var/lock/LCK..pts_" + slave.substr(9);
  if (access("/var/lock", W_OK) != 0) GTEST_SKIP() << "/var/lock is not ours to write";
  pid_t live = 0;
  char* sleeper[] = {const_cast<char*>("sleep"), const_cast<char*>("60"), nullptr};
  ASSERT_EQ(posix_spawnp(&live, "sleep", nullptr, nullptr, sleeper, environ), 0);
  const std::string pid = std::to_string(live), busy = slave + ": 串口正被另一个程序占用 (", holder = busy + "进程 " + pid;
  const std::string unreadable = slave + ": 无法读取串口的锁文件 " + lock + ": ";
  const std::string init = ReadText("/proc/1/comm");
  ASSERT_TRUE(WaitFor([&] { return ReadText("/proc/" + pid + "/comm") == "sleep\n"; }));
  const std::pair<std::string, std::string> cases[] = {  // the lock, and the reason ("" when the port opens)
      {std::string(10 - pid.size(), ' ') + pid + "\n", holder + ", sleep)"},
      {pid + " minicom root\n", holder + ", minicom)"},
      {pid + "\nminicom\nhost\n", holder + ", minicom)"},
      {std::string(reinterpret_cast<const char*>(&live), 4), holder + ", sleep)"},
      {"  1\n", busy + "进程 1, " + init.substr(0, init.find('\n')) + ")"},  // four bytes of text, not a binary number
      {"-42\n", busy + "锁文件 " + lock + " 读不出进程号)"},
      {"FIFO", unreadable + "这是一个管道(FIFO),不是文件"},
      {"FOLDER", unreadable + "这是一个文件夹 (Is a directory)"},
      {"LINK", unreadable + "文件或文件夹不存在 (No such file or directory)"},
      {"2147483647\n", ""},
  };
  const auto place = [&lock](const std::string& what) {
    if (what == "FIFO") return mkfifo(lock.c_str(), 0600) == 0;
    if (what == "FOLDER") return std::filesystem::create_directory(lock);
    if (what == "LINK") return symlink("nowhere", lock.c_str()) == 0;
    return static_cast<bool>(std::ofstream(lock, std::ios::binary) << what);
  };
  for (const auto& [content, reason] : cases) {
    ASSERT_TRUE(place(content)) << content;
    QtSerialIo io;
    io.SetDevice(1, slave);
    EXPECT_EQ(io.sio_open(1), reason.empty() ? 0 : -1) << content;
    EXPECT_EQ(io.LastError(), reason);
    io.sio_close(1);
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(lock)), !reason.empty()) << "left alone";
    EXPECT_TRUE(!std::filesystem::is_regular_file(lock) || ReadText(lock) == content) << content;
    std::filesystem::remove(lock);
  }
  kill(live, SIGKILL);
  waitpid(live, nullptr, 0);
}

}  // namespace
