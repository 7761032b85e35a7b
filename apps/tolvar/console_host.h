#pragma once
#include <string>

#include "link/host.h"
#include "terminal_progress.h"

class Module1;

// The terminal as the user's side of a transfer: every message and question
// is printed; questions read y/n from a terminal and count as No in batch
// mode or when no terminal is attached. An interruption (Ctrl-C, Ctrl-\, SIGTERM,
// SIGHUP) cancels the transfer, also while a question or the reset prompt
// waits for an answer. The first `retries` questions are answered Yes by
// themselves (a backup's restart questions, --retries), but for those whose
// default is No (after a write error only the user can set right).
class ConsoleHost final : public Host {
 public:
  ConsoleHost(bool batch, std::string model, int retries = 0)
      : batch_(batch), model_(std::move(model)), retries_(retries) {}
  void SetModule(Module1* m) { module_ = m; }

  void SetStatus(const std::string& text) override;
  // The text is printed when it changes; the count goes on the progress line.
  void SetStatusCount(const std::string& text, int count, const std::string& countText) override;
  void SetBarRange(Bar bar, int minimum, int maximum) override { progress_.Range(bar, minimum, maximum); }
  void SetBarValue(Bar bar, int value) override { progress_.Value(bar, value); }
  void ShowMessage(const std::string& text) override;
  void ShowResetPrompt(const std::string& text) override;
  void ShowWithReason(const std::string& message, const std::string& reason) override;
  bool Ask(const std::string& question, bool noIsDefault) override;
  void LockForTransfer(Task) override { progress_.Start(); }
  void RestoreAfterTransfer(Task) override { progress_.Clear(); }
  std::string ModelText() override { return model_; }
  void ProcessEvents() override;

 private:
  bool Interactive() const;
  bool batch_;
  std::string model_;
  int retries_;
  std::string status_;
  Module1* module_ = nullptr;
  TerminalProgress progress_ = TerminalProgress::ForStandardError();
};
