#pragma once
#include <functional>
#include <string>

#include "converter/converter_host.h"
#include "link/host.h"

// Hosts for runs nobody watches (benchmarks, fuzz targets): they show
// nothing and answer every question as told.

class SilentHost final : public Host {
 public:
  std::function<bool()> answer = [] { return false; };  // every Yes/No question

  void SetStatus(const std::string&) override {}
  void SetBarRange(Bar, int, int) override {}
  void SetBarValue(Bar, int) override {}
  void ShowMessage(const std::string&) override {}
  bool Ask(const std::string&, bool) override { return answer(); }
  void HideCancelDialog() override {}
  void UnloadCancelDialog() override {}
  void LockForTransfer(Task) override {}
  void RestoreAfterTransfer(Task) override {}
  std::string ModelText() override { return "NC3000"; }
  void ProcessEvents() override {}
};

// Answers Yes; keeps the last message; the version digits are 3 and 1.
class SilentConverterHost final : public ConverterHost {
 public:
  std::string last;  // the last message shown

  void ShowMessage(const std::string& text) override { last = text; }
  bool Ask(Question, const std::string&) override { return true; }
  void SetProgressRange(int, int) override {}
  void SetProgressValue(int) override {}
  void SetConvertEnabled(bool) override {}
  void ReadVersionDigits(std::string& major, std::string& minor) override { major = "3", minor = "1"; }
  void ProcessEvents() override {}
};
