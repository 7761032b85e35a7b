#include "processes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

Child Spawn(const std::vector<std::string>& argv, const std::string& outputFile, bool pipeOutput,
            const std::string& input) {
  Child child;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY | O_NOCTTY, 0);
  int pipeFds[2] = {-1, -1};
  if (pipeOutput && pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ) != 0) child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  child.outputPipe = pipeFds[0];
  return child;
}

int Wait(Child& child, std::chrono::milliseconds limit) {
  if (child.pid <= 0) return -1;
  const auto until = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child.pid, &status, WNOHANG);
    if (done == child.pid) break;
    if (std::chrono::steady_clock::now() > until) {
      kill(child.pid, SIGKILL);
      waitpid(child.pid, &status, 0);
      child.pid = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  child.pid = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

SimProcess::SimProcess(const std::string& program, std::vector<std::string> args, const std::string& logFile) {
  args.insert(args.begin(), {program, "--trace"});
  child_ = Spawn(args, logFile, true);
  if (child_.pid <= 0 || child_.outputPipe < 0) return;
  // A handheld has a processor of its own and answers within its time
  // limits however busy the computer is; on a loaded machine the simulator
  // would wait behind the load instead. Where the tests may, it goes first.
  setpriority(PRIO_PROCESS, static_cast<id_t>(child_.pid), -10);
  // What it says goes into its log too, which a failing test keeps.
  reader_ = std::thread([this, logFile] {
    const int log = open(logFile.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    std::string pending;
    char buffer[4096];
    ssize_t n;
    while ((n = read(child_.outputPipe, buffer, sizeof buffer)) > 0) {
      pending.append(buffer, static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        if (log >= 0) (void)!write(log, pending.data(), end + 1);
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
        changed_.notify_all();
      }
    }
    if (log >= 0) close(log);
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex_);
  if (changed_.wait_for(lock, std::chrono::seconds(10), [this] { return !lines_.empty() || ended_; }) && !lines_.empty())
    device = lines_.front();
}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::WaitForLine(const std::string& line, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    return ended_ || std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  }) && std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

bool SimProcess::WaitUntilLetGo(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    return ended_ || std::count(lines_.begin(), lines_.end(), "opened") ==
                         std::count(lines_.begin(), lines_.end(), "closed");
  }) && !ended_;
}

bool SimProcess::Said(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

int SimProcess::Stop(int signal) {
  if (child_.pid > 0) {
    kill(child_.pid, signal);
    status_ = Wait(child_, std::chrono::seconds(10));
  }
  if (reader_.joinable()) reader_.join();
  if (child_.outputPipe >= 0) {
    close(child_.outputPipe);
    child_.outputPipe = -1;
  }
  return status_;
}
