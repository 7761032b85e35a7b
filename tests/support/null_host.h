#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "converter/converter_host.h"
#include "link/host.h"

// The host of a run nobody watches (benchmarks, fuzz targets), for either
// program's engine. Status, progress and window state go nowhere, the
// messages and questions are kept, and every question gets `answer`. With
// `print` set they are printed too, so that a failed run is visible.
class NullHost final : public Host, public ConverterHost {
 public:
  std::function<bool()> answer = [] { return false; };
  std::function<void()> onEvents;  // what letting events run does
  std::string model = "NC3000";
  bool print = false;
  std::string last;               // the last message
  std::vector<std::string> said;  // every message, and every question with its answer ("问? -> 是")

  void ShowMessage(const std::string& text) override {
    last = text;
    said.push_back(text);
    if (print) std::printf("  (message: %s)\n", text.c_str());
  }
  bool Ask(const std::string& question, bool) override { return Answer(question); }
  bool Ask(Question, const std::string& text) override { return Answer(text); }
  std::string ModelText() override { return model; }
  // Version 3.1, as Corvane's window starts.
  void ReadVersionDigits(std::string& major, std::string& minor) override {
    major = "3";
    minor = "1";
  }
  void ProcessEvents() override {
    if (onEvents) onEvents();
  }

 private:
  bool Answer(const std::string& question) {
    const bool yes = answer();
    said.push_back(question + (yes ? " -> 是" : " -> 否"));
    if (print) std::printf("  (question: %s -> %s)\n", question.c_str(), yes ? "Yes" : "No");
    return yes;
  }
};
