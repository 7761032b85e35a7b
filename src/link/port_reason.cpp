#include "link/port_reason.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <cerrno>
#include <cstring>

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
  if (!f.lockHolder.empty()) {
    reason = WithSystemText(kInUse, f.lockHolder);
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
std::string PortLockHolder(const std::string&) { return {}; }
#else
int ErrnoAfterQtCall() { return errno; }

// Where Qt SerialPort keeps its lock files, in its order, and how it names them.
std::string PortLockHolder(const std::string& device) {
  QString name = QString::fromStdString(device);
  if (name.startsWith(QStringLiteral("/dev/"))) name = name.mid(5);
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString folders[] = {QStringLiteral("/var/lock"),      QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
                             QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"),      QStringLiteral("/var/tmp"),
                             QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"), QDir::tempPath()};
  for (const QString& folder : folders) {
    const QString path = folder + QStringLiteral("/LCK..") + name;
    if (!QFileInfo::exists(path)) continue;
    QLockFile lock(path);
    qint64 pid = 0;
    QString host, program;
    if (!lock.getLockInfo(&pid, &host, &program) || pid <= 0) continue;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) continue;  // left behind by a program gone
    std::string holder = "进程 " + std::to_string(pid);
    if (!program.isEmpty()) holder += ", " + program.toStdString();
    return holder;
  }
  return {};
}
#endif
