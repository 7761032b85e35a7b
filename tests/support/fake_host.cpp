#include "support/fake_host.h"

#include <algorithm>

void FakeHost::SetStatus(const std::string& text) {
  status = text;
  statusHistory.push_back(text);
}

void FakeHost::SetBarRange(Bar bar, int minimum, int maximum) {
  Bars& b = BarOf(bar);
  b.minimum = minimum;
  b.maximum = maximum;
  b.value = std::clamp(b.value, minimum, std::max(minimum, maximum));
}

void FakeHost::SetBarValue(Bar bar, int value) {
  BarOf(bar).value = value;
  if (bar == Bar::Current) currentValues.push_back(value);
}

void FakeHost::ShowMessage(const std::string& text) {
  messages.push_back(text);
  log.push_back("message: " + text);
  if (onDialog) onDialog(text);
}

void FakeHost::ShowResetPrompt(const std::string& text) {
  prompts.push_back(text);
  log.push_back("prompt: " + text);
  if (onDialog) onDialog(text);
}

bool FakeHost::Ask(const std::string& question, bool noIsDefault) {
  questions.push_back(question);
  noDefaults += noIsDefault;
  log.push_back("question: " + question);
  if (onDialog) onDialog(question);
  if (answers.empty()) return false;
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void FakeHost::HideCancelDialog() { ++hides; }
void FakeHost::UnloadCancelDialog() { ++unloads; }

void FakeHost::LockForTransfer(Task) {
  locked = true;
  log.push_back("lock");
}

void FakeHost::RestoreAfterTransfer(Task) {
  locked = false;
  log.push_back("restore");
}

void FakeHost::ProcessEvents() {
  ++events;
  if (onEvents) onEvents();
}
