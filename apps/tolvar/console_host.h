#pragma once
#include <string>

#include "link/host.h"

class Module1;

// The terminal as the user's side of a transfer: every message and question
// is printed; questions read y/n from a terminal and count as No in batch
// mode or when no terminal is attached; Ctrl-C asks the transfer to cancel.
class ConsoleHost final : public Host {
 public:
  ConsoleHost(bool batch, std::string model) : batch_(batch), model_(std::move(model)) {}
  void SetModule(Module1* m) { module_ = m; }

  void SetStatus(const std::string& text) override;
  void SetBarRange(Bar, int, int) override {}
  void SetBarValue(Bar, int) override {}
  void ShowMessage(const std::string& text) override;
  void ShowResetPrompt(const std::string& text) override;
  void ShowPortFailure(const std::string& message, const std::string& reason) override;
  bool Ask(const std::string& question, bool noIsDefault) override;
  void HideCancelDialog() override {}
  void UnloadCancelDialog() override {}
  void LockForTransfer(Task) override {}
  void RestoreAfterTransfer(Task) override {}
  std::string ModelText() override { return model_; }
  void ProcessEvents() override;

  // Makes Ctrl-C request a cancel instead of ending the program.
  static void CatchInterrupt();

 private:
  bool Interactive() const;
  bool batch_;
  std::string model_;
  std::string status_;
  Module1* module_ = nullptr;
};
