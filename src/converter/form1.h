#pragma once
#include <QString>
#include <QWidget>

#include "converter/converter_host.h"
#include "ui_form1.h"

class QCloseEvent;
class QResizeEvent;

// Corvane's window (form1.ui): direction, source and target, starting logical
// block number and version digits for the way back, and the convert button.
// Line1 is the box around the Data-to-NAND fields (drawn by Line1 to Line4
// together), Line5 joins it to OptionD2N. Message boxes and the file dialog go
// through virtual functions so that a test can answer them without a modal
// window.
class Form1 : public QWidget, public ConverterHost, public Ui::Form1 {
  Q_OBJECT

 public:
  // File dialog filters as "description|pattern|description|pattern".
  static constexpr const char* kNandFilter = "Nand文件 (*.nand)|*.nand|所有文件 (*.*)|*.*";
  static constexpr const char* kDataFilter = "Data文件 (*.dat)|*.dat|所有文件 (*.*)|*.*";

  explicit Form1(QWidget* parent = nullptr);

  // Help text and visibility of the Data-to-NAND fields for the chosen direction.
  void LabelInformationChange();

  void OptionN2D_Click() { LabelInformationChange(); }
  void OptionD2N_Click() { LabelInformationChange(); }
  void CommandOpen_Click();
  void CommandSave_Click();
  void CommandChange_Click();

  // ConverterHost
  void ShowMessage(const std::string& text) override;
  void ShowWithReason(const std::string& text, const std::string& reason) override;
  bool Ask(Question question, const std::string& text) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressValue(int value) override;
  void SetConvertEnabled(bool enabled) override;
  void ReadVersionDigits(std::string& major, std::string& minor) override;
  void ProcessEvents() override;
  bool CancelRequested() override;

  QString HelpNandToData;
  QString HelpDataToNand;

 protected:
  // Closing the window while a conversion runs stops the conversion at its
  // next block, as an interruption does (the temporary file removed, the
  // target as it was); the window closes once it has stopped.
  void closeEvent(QCloseEvent* event) override;
  // The help label is as tall as the longer help text needs at the label's
  // width, in whatever font, so that neither is cut off and the window does
  // not jump when the direction changes.
  void resizeEvent(QResizeEvent* event) override;

  // A report with an OK button, titled "Corvane"; `detail` (a reason) stands under the text.
  virtual void ShowMessageBox(const QString& text, const QString& detail);
  // Yes/No with the question icon and No as the default; true for Yes.
  virtual bool AskQuestion(const QString& text);
  // The file-open dialog with `filter` (in the form of kNandFilter); returns
  // the chosen name, or an empty text when the user cancels. `newNameAllowed`
  // lets the user type the name of a file that does not exist yet.
  virtual QString ShowOpenDialog(const QString& filter, const QString& fileName, bool newNameAllowed);

 private:
  QString ChooseFile(const char* filter, bool newNameAllowed);

  bool converting_ = false;
  bool closeRequested_ = false;  // the window was closed during a conversion

  // The file name the shared dialog holds: the last one chosen with either button.
  QString dialogFileName_;
};
