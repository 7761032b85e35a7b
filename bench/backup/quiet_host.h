#pragma once
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "link/host.h"

// A host that shows nothing and answers every question No; messages are
// printed so that a failed run is visible.
class QuietHost final : public Host {
 public:
  std::string model = "NC3000";
  bool qtEvents = false;      // let Qt's events run, as the command line does
  bool showMessages = true;
  void SetStatus(const std::string&) override {}
  void SetBarRange(Bar, int, int) override {}
  void SetBarValue(Bar, int) override {}
  void ShowMessage(const std::string& text) override {
    if (showMessages) std::printf("  (message: %s)\n", text.c_str());
  }
  bool Ask(const std::string& question, bool) override {
    std::printf("  (question: %s -> No)\n", question.c_str());
    return false;
  }
  void HideCancelDialog() override {}
  void UnloadCancelDialog() override {}
  void LockForTransfer(Task) override {}
  void RestoreAfterTransfer(Task) override {}
  std::string ModelText() override { return model; }
  void ProcessEvents() override {
    if (qtEvents) QCoreApplication::processEvents();
  }
};
