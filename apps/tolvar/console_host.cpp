#include "console_host.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "common/console.h"
#include "link/module1.h"


namespace {
volatile std::sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }
}  // namespace

void ConsoleHost::CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }

bool ConsoleHost::Interactive() const { return !batch_ && IsTerminal(stdin); }

void ConsoleHost::SetStatus(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  progress_.Clear();
  std::cout << text << std::endl;
}

void ConsoleHost::ShowMessage(const std::string& text) {
  progress_.Clear();
  std::cout << text << std::endl;
}

void ConsoleHost::ShowPortFailure(const std::string& message, const std::string& reason) {
  progress_.Clear();
  std::cout << message << std::endl;
  if (!reason.empty()) std::cout << reason << std::endl;
}

void ConsoleHost::ShowResetPrompt(const std::string& text) {
  progress_.Clear();
  std::cout << text << std::endl;
  if (!Interactive()) return;
  std::cout << "(Enter)" << std::flush;
  std::string line;
  std::getline(std::cin, line);
}

bool ConsoleHost::Ask(const std::string& question, bool) {
  progress_.Clear();
  std::cout << question << " (y/n) " << std::flush;
  if (!Interactive()) {
    std::cout << "n" << std::endl;
    return false;
  }
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

void ConsoleHost::ProcessEvents() {
  QCoreApplication::processEvents();
  if (interrupted && module_) {
    interrupted = 0;
    module_->RequestCancel();
  }
}
