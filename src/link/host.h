#pragma once
#include <string>

// What a transfer needs from whoever shows it to the user: the main window,
// the command-line front end, or a test. The transfers never see a widget.
// What only a window has (status line, progress bars, cancel dialog, locked
// controls, events to run) does nothing unless a host shows it; reports,
// questions and the model always need an answer of the host's own.
class Host {
 public:
  enum class Bar { Current, Total };  // "当前进度:" and "总 进 度:"
  enum class Task { Backup, Repair };

  virtual ~Host() = default;

  // LabelStatus.
  virtual void SetStatus(const std::string& /*text*/) {}
  // LabelStatus and the count of what a backup received so far, which
  // changes often ("正在接收数据...", 123, "已收到 123 块"). A window shows them
  // as one line, the text alone while the count is 0; a terminal may keep
  // the count apart, from 0 on.
  virtual void SetStatusCount(const std::string& text, int count, const std::string& countText) {
    SetStatus(count > 0 ? text + " " + countText : text);
  }
  // Progress bars. A range keeps the value inside it.
  virtual void SetBarRange(Bar /*bar*/, int /*minimum*/, int /*maximum*/) {}
  virtual void SetBarValue(Bar /*bar*/, int /*value*/) {}

  // A report with an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  // The prompt to press the handheld's reset key (OK only). The command line
  // waits for Enter here; a window simply shows it.
  virtual void ShowResetPrompt(const std::string& text) { ShowMessage(text); }
  // A report and the reason its fixed text leaves out (the port's device and
  // the system's words, a file's length): a front end that can show more
  // adds `reason` under `message`.
  virtual void ShowWithReason(const std::string& message, const std::string& /*reason*/) { ShowMessage(message); }
  // A Yes/No question with the question icon; true for Yes.
  virtual bool Ask(const std::string& question, bool noIsDefault = false) = 0;

  // The cancel confirmation: hidden when a transfer stops to ask or report,
  // unloaded when the transfer ends.
  virtual void HideCancelDialog() {}
  virtual void UnloadCancelDialog() {}

  // Locks the main window for a transfer (exit button, purpose and port
  // frames disabled, start button reads "取  消") and restores it afterwards.
  virtual void LockForTransfer(Task /*task*/) {}
  virtual void RestoreAfterTransfer(Task /*task*/) {}

  // The model chosen in ComboKind ("NC3000", "2000系列", or whatever was typed).
  virtual std::string ModelText() = 0;

  // Lets pending user-interface events run (the cancel dialog lives on them).
  virtual void ProcessEvents() {}
};
