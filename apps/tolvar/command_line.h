#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "console_host.h"
#include "link/module1.h"
#include "link/qt_serial_io.h"

// A parsed command line: `tolvar VERB [--option VALUE] [--flag] FILE...`.
struct Arguments {
  std::string verb;
  std::map<std::string, std::string> options;
  std::set<std::string> flags;
  std::vector<std::string> files;
};

// The serial port, clock, terminal and connection state of one verb's run,
// set up from --port and --model.
class ConsoleSession {
 public:
  ConsoleSession(const std::string& model, bool batch);
  // Takes "com1".."com9" or a device path; false for anything else.
  bool UsePort(const std::string& port);

  QtSerialIo io;
  SystemTickClock clock;
  ConsoleHost host;
  Module1 m;
};

// Exit statuses of every verb.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Prints what is wrong and how to call the program; returns kExitUsage.
int UsageError(const std::string& problem);

// Runs a transfer verb's common set-up: --port, --model, --batch and exactly
// one FILE. Returns nullptr after printing a usage error.
std::unique_ptr<ConsoleSession> OpenSession(const Arguments& args);

// Runs a verb; `words` are the arguments after the program name, as UTF-8.
int RunCommandLine(const std::vector<std::string>& words);

// The verbs.
int BackupNorVerb(const Arguments& args);
int BackupNandVerb(const Arguments& args);
int RepairNorVerb(const Arguments& args);
int RepairNandVerb(const Arguments& args);
int FixNorChecksVerb(const Arguments& args);
