#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "converter/converter_host.h"

// Records what a conversion shows and answers its questions from a script.
class RecordingHost : public ConverterHost {
 public:
  std::vector<std::string> messages;   // OK-only reports, in order
  std::vector<std::string> questions;  // Yes/No questions, in order
  std::deque<bool> answers;            // answers to give; No when empty
  std::vector<std::string> log;        // messages, questions, button and bar changes in order
  int minimum = 0, maximum = 100, value = 0;
  std::vector<int> values;             // every value the bar was given
  bool convertEnabled = true;
  std::string major = "3", minor = "1";
  int events = 0;
  std::function<void()> onEvents;      // runs on every pass of event processing
  bool cancel = false;                 // what CancelRequested answers

  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    log.push_back("message " + text);
  }
  bool Ask(Question, const std::string& text) override {
    questions.push_back(text);
    log.push_back("question " + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void SetProgressRange(int min, int max) override {
    minimum = min;
    maximum = max;
  }
  void SetProgressValue(int v) override {
    value = v;
    values.push_back(v);
  }
  void SetConvertEnabled(bool enabled) override {
    convertEnabled = enabled;
    log.push_back(enabled ? "enabled" : "disabled");
  }
  void ReadVersionDigits(std::string& ma, std::string& mi) override {
    ma = major;
    mi = minor;
  }
  void ProcessEvents() override {
    ++events;
    if (onEvents) onEvents();
  }
  bool CancelRequested() override { return cancel; }
};
