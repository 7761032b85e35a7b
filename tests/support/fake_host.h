#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/host.h"

// Records what a transfer shows and answers its questions from a script.
class FakeHost : public Host {
 public:
  struct Bars {
    int minimum = 0, maximum = 100, value = 0;
  };

  std::string status;
  std::vector<std::string> statusHistory;
  std::vector<std::string> counts;      // every count a backup gave, as a terminal shows it
  std::vector<std::string> messages;    // OK-only reports, in order
  std::vector<std::string> prompts;     // reset prompts
  std::vector<std::string> questions;   // Yes/No questions, in order
  std::deque<bool> answers;             // answers to give; No when empty
  std::string model = "NC3000";
  Bars current, total;
  std::vector<int> currentValues;       // every value ProgressBar1 was given
  int hides = 0, unloads = 0, events = 0;
  int noDefaults = 0;                   // questions asked with No as their default
  bool locked = false;
  std::vector<std::string> log;         // everything above, in order, as text

  // Run on every message, prompt and question (before answering), and on every
  // pass of event processing; tests use them to act "while the window runs".
  std::function<void(const std::string&)> onDialog;
  std::function<void()> onEvents;

  void SetStatus(const std::string& text) override;
  void SetStatusCount(const std::string& text, int count, const std::string& countText) override {
    counts.push_back(countText);
    Host::SetStatusCount(text, count, countText);
  }
  void SetBarRange(Bar bar, int minimum, int maximum) override;
  void SetBarValue(Bar bar, int value) override;
  void ShowMessage(const std::string& text) override;
  void ShowResetPrompt(const std::string& text) override;
  bool Ask(const std::string& question, bool noIsDefault) override;
  void HideCancelDialog() override;
  void UnloadCancelDialog() override;
  void LockForTransfer(Task task) override;
  void RestoreAfterTransfer(Task task) override;
  std::string ModelText() override { return model; }
  void ProcessEvents() override;

  Bars& BarOf(Bar bar) { return bar == Bar::Current ? current : total; }
};
