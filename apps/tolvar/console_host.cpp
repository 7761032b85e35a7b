#include "console_host.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>

#include "common/console.h"
#include "common/interruption.h"
#include "link/module1.h"

namespace {

// A line from the terminal. An interruption makes the read return at once
// (false), and so does the end of the input.
bool ReadAnswer(std::string& line) {
  if (Interrupted() || !std::getline(std::cin, line) || Interrupted()) {
    std::cout << std::endl;
    return false;
  }
  return true;
}

}  // namespace

bool ConsoleHost::Interactive() const { return !batch_ && IsTerminal(stdin); }

void ConsoleHost::SetStatus(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  progress_.Clear();
  std::cout << text << std::endl;
}

void ConsoleHost::SetStatusCount(const std::string& text, int, const std::string& countText) {
  SetStatus(text);
  progress_.Received(countText);
}

void ConsoleHost::ShowMessage(const std::string& text) {
  progress_.Clear();
  std::cout << text << std::endl;
}

void ConsoleHost::ShowWithReason(const std::string& message, const std::string& reason) {
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
  if (!ReadAnswer(line) && Interrupted() && module_) module_->RequestCancel();
}

bool ConsoleHost::Ask(const std::string& question, bool noIsDefault) {
  progress_.Clear();
  std::cout << question << " (y/n) " << std::flush;
  if (retries_ > 0 && !noIsDefault && !Interrupted()) {
    --retries_;
    std::cout << "y" << std::endl;
    return true;
  }
  if (!Interactive()) {
    std::cout << "n" << std::endl;
    return false;
  }
  std::string answer;
  if (!ReadAnswer(answer)) {
    if (Interrupted() && module_) module_->RequestCancel();  // an interrupted question is a cancel
    return false;
  }
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

void ConsoleHost::ProcessEvents() {
  QCoreApplication::processEvents();
  if (Interrupted() && module_) module_->RequestCancel();
}
