#pragma once
#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A child program with its standard input from `input` (/dev/null unless
// given, such as a terminal) and its output going to `outputFile` (or into a
// pipe that the caller reads).
struct Child {
  pid_t pid = -1;
  int outputPipe = -1;  // read end when asked for
};

Child Spawn(const std::vector<std::string>& argv, const std::string& outputFile, bool pipeOutput = false,
            const std::string& input = "/dev/null");

// Waits for the child; returns its exit status, 128 + signal when a signal
// ended it, or -1 when it was still running after `limit` (it is killed then).
int Wait(Child& child, std::chrono::milliseconds limit);

// build/handheld-sim running with --trace: its device node and what it says.
class SimProcess {
 public:
  SimProcess(const std::string& program, std::vector<std::string> args, const std::string& logFile);
  ~SimProcess();

  bool Ok() const { return !device.empty(); }
  std::string device;

  // True once the handheld has said `line` (for example "frame 12").
  bool WaitForLine(const std::string& line, std::chrono::milliseconds limit);
  bool Said(const std::string& line);
  // True once the handheld has seen the computer close the device as often
  // as open it: everything the computer wrote has reached the handheld. Only
  // then may the device be opened again, as an opening empties the line.
  bool WaitUntilLetGo(std::chrono::milliseconds limit);
  // SIGTERM, then its exit status (it saves its flash first); SIGKILL ends
  // it as a cable pulled out would.
  int Stop(int signal = SIGTERM);

 private:
  Child child_;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  bool ended_ = false;
  int status_ = -1;
};
