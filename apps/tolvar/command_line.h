#pragma once
#include <memory>
#include <string>
#include <vector>

#include "common/command_line_parser.h"
#include "console_host.h"
#include "link/module1.h"
#include "link/qt_serial_io.h"
#include "repair/repair_checks.h"

// The values of one command line, `tolvar VERB [OPTIONS] FILE`. Each verb
// reads the ones it declares (command_line.cpp); the rest keep their defaults.
struct Arguments {
  std::string port;                   // --port
  std::string model = "NC3000";       // --model, "NC3000" or "2000系列"
  bool batch = false;                 // --batch
  int retries = 0;                    // --retries: restart questions answered Yes
  bool lowSpeed = false;              // --low-speed
  bool format = false;                // --format
  NorRepairOptions pages;             // --pages: its page choices (02- by default)
  bool somePages = false;             // --pages given
  bool someBlocks = false;            // --blocks given
  std::string firstBlock, lastBlock;  // --blocks FIRST-LAST
  std::string file;                   // FILE, or A of compare
  std::string otherFile;              // B of compare
  std::string partial;                // backup-nand --continue PARTIAL
  std::vector<std::string> images;    // join: the images, then OUT
};

// The serial port, clock, terminal and connection state of one verb's run,
// set up from --port and --model.
class ConsoleSession {
 public:
  ConsoleSession(const std::string& model, bool batch, int retries = 0);
  // Takes "comN" (any case) or a device: a name with a slash is a path,
  // opened as given; a bare name is a device of the system's (in /dev).
  // "auto" has been replaced by the adapter's name before.
  static bool IsPortName(const std::string& port);
  void UsePort(const std::string& port);

  QtSerialIo io;
  SystemTickClock clock;
  ConsoleHost host;
  Module1 m;
};

// A transfer verb's common set-up from --port, --model, --batch and FILE.
std::unique_ptr<ConsoleSession> OpenSession(const Arguments& args);

// The window's rejection of an image ("文件错误!" and the like), and on the
// next line the reason that its fixed text leaves out. Returns the exit status.
int RefuseImage(Host& host, const std::string& message, const std::string& reason);

// Runs a verb; `words` are the arguments after the program name, as UTF-8.
int RunCommandLine(const std::vector<std::string>& words);

// The verbs.
int BackupNorVerb(const Arguments& args);
int BackupNandVerb(const Arguments& args);
int RepairNorVerb(const Arguments& args);
int RepairNandVerb(const Arguments& args);
int FixNorChecksVerb(const Arguments& args);
int VerifyNorVerb(const Arguments& args);
int VerifyNandVerb(const Arguments& args);
int CompareVerb(const Arguments& args);
int CheckVerb(const Arguments& args);
int JoinVerb(const Arguments& args);
