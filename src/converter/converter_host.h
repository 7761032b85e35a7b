#pragma once
#include <string>

// What a conversion needs from whoever shows it: the window, the command
// line or a test. The conversions never see a widget.
class ConverterHost {
 public:
  // Which question is asked; a window asks every one alike, the command
  // line answers them without a person.
  enum class Question { StartBlock, Overwrite };

  virtual ~ConverterHost() = default;

  // A report with an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  // A report and the reason its fixed text does not say ("打开的文件路径错误!"
  // for a folder, a device, a missing permission; the length of a file of the
  // wrong size): the window shows it under the text, the command line on the
  // next line.
  virtual void ShowWithReason(const std::string& text, const std::string& /*reason*/) { ShowMessage(text); }
  // Yes and No with the question icon, No being the default; true for Yes.
  virtual bool Ask(Question question, const std::string& text) = 0;

  // ProgressBar1, counting blocks. Nothing without a window.
  virtual void SetProgressRange(int /*minimum*/, int /*maximum*/) {}
  virtual void SetProgressValue(int /*value*/) {}

  // The convert button: disabled while a conversion runs.
  virtual void SetConvertEnabled(bool /*enabled*/) {}

  // The two version digits as they stand now (read again for every block).
  virtual void ReadVersionDigits(std::string& major, std::string& minor) = 0;

  // Lets pending user-interface events run; called after every page.
  virtual void ProcessEvents() {}

  // True once the conversion is to stop (the program was interrupted, or its
  // window closed): it then stops at the next block, removes its temporary
  // file and leaves the target as it was.
  virtual bool CancelRequested() { return false; }
};
