#include "link/port_reason.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "common/file_exists.h"
#include "common/system_reason.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace {

const char kInUse[] = "串口正被另一个程序占用";
const char kLost[] = "设备已断开";
const char kNoDevice[] = "设备不存在";

// Errors whose usual words say little about a serial port; the rest are the
// system's usual reasons.
const char* ChineseForPortErrno(int errorNumber) {
  switch (errorNumber) {
    case EBUSY:
    case EEXIST: return kInUse;  // Qt's lock file is there: its holder is alive
    case ENXIO:
    case ENODEV: return kNoDevice;
    case ENOTTY: return "这不是串口";
    case EIO: return kLost;
    default: return nullptr;
  }
}

const char* ChineseForQtError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError: return kNoDevice;
    case QSerialPort::PermissionError: return "串口正被另一个程序占用或没有权限";
    case QSerialPort::OpenError: return "串口已经打开";
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError: return kLost;
    case QSerialPort::UnsupportedOperationError: return "这不是串口或不支持这种设置";
    case QSerialPort::NotOpenError: return "串口没有打开";
    default: return "串口出错";
  }
}

}  // namespace

bool IsLossError(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ReadError || error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
}

std::string PortReason(const std::string& device, const PortFailure& f) {
  std::string reason;
  if (!f.lockProblem.empty()) {
    reason = f.lockProblem;
  } else if (f.errorNumber > 0) {
    const char* chinese = ChineseForPortErrno(f.errorNumber);
    const std::string usual = SystemReason(f.errorNumber);
    if (chinese)
      reason = WithSystemText(chinese, std::strerror(f.errorNumber));
    else if (usual != std::strerror(f.errorNumber))
      reason = usual;  // already "中文 (system text)"
    else
      reason = WithSystemText(ChineseForQtError(f.error), usual);
  } else {
    // A read that met the end of a line that was hung up sets no errno.
    const bool hangUp = f.errorNumber == 0 && IsLossError(f.error);
    reason = WithSystemText(ChineseForQtError(f.error), hangUp ? "hang-up" : f.systemText);
  }
  return device + ": " + reason;
}

#ifdef _WIN32
int ErrnoAfterQtCall() { return -1; }
std::string PortLockProblem(const std::string&) { return {}; }
#else
int ErrnoAfterQtCall() { return errno; }

namespace {

// The folders where serial programs keep their lock files, in Qt SerialPort's
// order, with the name it gives a device's lock.
std::vector<std::string> LockFiles(const std::string& device) {
  std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  std::replace(name.begin(), name.end(), '/', '_');
  std::vector<std::string> files;
  for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                             "/var/lock/lockdev", "/run/lock"})
    files.push_back(std::string(folder) + "/LCK.." + name);
  files.push_back(QDir::tempPath().toStdString() + "/LCK.." + name);
  return files;
}

// What a lock file says of its holder. Every form starts with the PID: ten
// ASCII digits and a newline (the classic form), "PID program user", or Qt's
// "PID\nprogram\nhost\n"; old programs wrote it as a 4-byte binary number,
// which holds a zero byte where text never does.
struct LockInfo {
  long pid = 0;
  std::string program;  // where the file names it
};

// Nothing when the lock names no process.
std::optional<LockInfo> ReadLock(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char buffer[256];
  in.read(buffer, sizeof buffer);
  const std::string text(buffer, static_cast<std::size_t>(in.gcount()));
  LockInfo info;
  if (text.size() == 4 && text.find('\0') != std::string::npos) {
    std::int32_t binary = 0;
    std::memcpy(&binary, text.data(), sizeof binary);
    info.pid = binary;
  } else {
    std::istringstream words(text);
    words >> info.pid >> info.program;
  }
  if (info.pid <= 0 || info.pid > std::numeric_limits<pid_t>::max()) return std::nullopt;
  return info;
}

bool ProcessLives(long pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// The name the system gives a running process, where it tells it (Linux).
std::string ProcessName(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

std::string PortLockProblem(const std::string& device) {
  // A link to the device may be locked under either name.
  std::error_code error;
  const std::string resolved = std::filesystem::canonical(device, error).string();
  std::vector<std::string> files = LockFiles(device);
  if (!error && resolved != device)
    for (const std::string& file : LockFiles(resolved)) files.push_back(file);
  for (const std::string& file : files) {
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) continue;
    // Only a regular file is read: a pipe put there would never answer.
    if (const std::string unreadable = UnreadableReason(file); !unreadable.empty())
      return "无法读取串口的锁文件 " + file + ": " + unreadable;
    const std::optional<LockInfo> lock = ReadLock(file);
    if (!lock) return WithSystemText(kInUse, "锁文件 " + file + " 读不出进程号");
    if (!ProcessLives(lock->pid)) continue;  // left behind by a program gone
    const std::string program = lock->program.empty() ? ProcessName(lock->pid) : lock->program;
    return WithSystemText(kInUse, "进程 " + std::to_string(lock->pid) + (program.empty() ? "" : ", " + program));
  }
  return {};
}
#endif
