#pragma once
#include <QSerialPort>
#include <string>

// Why a serial port could not be opened or stopped working, in the form every
// message of the programs gives a system's reason: "DEVICE: 中文 (system
// text)", such as "/dev/ttyUSB0: 没有权限 (Permission denied)" or
// "/dev/pts/3: 串口正被另一个程序占用 (进程 4242, tolvar)".

struct PortFailure {
  QSerialPort::SerialPortError error = QSerialPort::NoError;  // what Qt made of it
  int errorNumber = -1;     // errno of the failed call; 0 when it set none, -1 where unknown (Windows)
  std::string systemText;   // Qt's errorString, used when errorNumber tells nothing
  std::string lockProblem;  // what the port's lock file says, if anything (see PortLockProblem)
};

std::string PortReason(const std::string& device, const PortFailure& failure);

// True for the errors of a port whose device has gone away.
bool IsLossError(QSerialPort::SerialPortError error);

// The errno that the failed Qt call left; -1 where Qt's calls leave their
// code elsewhere (Windows).
int ErrnoAfterQtCall();

// Why a lock file for `device` keeps the port from being opened, as a reason:
// a live process holds it, in any of the forms serial programs write
// ("串口正被另一个程序占用 (进程 4242, minicom)"); or the lock, named, is no file
// that can be read (a pipe, a folder, a link to nothing, no permission) or
// names no process. Empty when there is none, or only locks of processes gone
// (and on Windows, where the system itself refuses a second open). Such a
// port must not be opened: its lock is never taken over, nor a pipe opened.
std::string PortLockProblem(const std::string& device);
