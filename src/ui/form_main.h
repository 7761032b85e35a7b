#pragma once
#include <QButtonGroup>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "link/host.h"
#include "ui_form_main.h"

class QCloseEvent;
class Module1;
class FormAbout;
class FormCancel;

// Tolvar's main window: port, model and purpose, the start button that hands
// over to a backup or a repair dialog (and asks to cancel while a transfer
// runs), and the status line and progress bars the transfers drive. It is the
// Host of the engine; Module1 is created after it and handed in with SetModule.
// Its controls are described in form_main.ui, under the names they are known by.
//
// Everything modal (file dialogs, message boxes, questions, ending the
// program) goes through the virtual functions below, so a test can answer
// them without a dialog ever blocking.
class FormMain : public QWidget, public Host, public Ui::FormMain {
  Q_OBJECT

 public:
  explicit FormMain(QWidget* parent = nullptr);
  ~FormMain() override;

  void SetModule(Module1* module) { module_ = module; }
  Module1* module() const { return module_; }

  // The repair option dialogs, shown for purposes 2 and 4 once ImagePath is
  // set. A dialog that rejects the file calls CommandSatrt_Click again.
  std::function<void()> ShowFormBackNor;
  std::function<void()> ShowFormBackNand;

  // --- event handlers ---
  void Form_Load();
  void CommandSatrt_Click();
  void CommandAbout_Click();
  void CommandExit_Click();
  void SaveNor();
  void SaveNand();

  // Sets ComPort from the port text as it stands now: a device path names
  // that device, "comN" port N. A text that names no port is refused with a
  // message saying what it may be; false then. The start button and the
  // repair dialogs' "确定" both take the port here.
  bool TakePort();

  // 1 backup NOR, 2 repair NOR, 3 backup NAND, 4 repair NAND, 0 none selected.
  int PurposeCode() const;

  // The cancel dialog while it is loaded (shown or hidden), else null.
  FormCancel* cancelDialog() const;
  FormAbout* aboutDialog() const;
  // True between LockForTransfer and RestoreAfterTransfer.
  bool transferRunning() const { return transferRunning_; }

  // --- Host ---
  void SetStatus(const std::string& text) override;
  void SetBarRange(Bar bar, int minimum, int maximum) override;
  void SetBarValue(Bar bar, int value) override;
  void ShowMessage(const std::string& text) override;
  void ShowWithReason(const std::string& message, const std::string& reason) override;
  bool Ask(const std::string& question, bool noIsDefault = false) override;
  void HideCancelDialog() override;
  void UnloadCancelDialog() override;
  void LockForTransfer(Task task) override;
  void RestoreAfterTransfer(Task task) override;
  std::string ModelText() override;
  void ProcessEvents() override;

  // The desktop session is ending. While a transfer runs this is a close like
  // any other (the cancel question comes up) and the session is asked to
  // wait; returns true then.
  bool HoldSessionEnd();

  // Window texts.
  static const char* const kStartCaption;   // "开始通信"
  static const char* const kCancelCaption;  // "取  消"
  static const char* const kIdleStatus;     // "等待开始..."

 protected:
  enum class FileDialog { Save, Open };
  // Shows the common file dialog with an empty file name; returns the chosen
  // path, or an empty text when the user cancelled. `filter` is in Qt's form.
  virtual QString ChooseFile(FileDialog kind, const QString& title, const QString& filter);
  // A report with an OK button only, titled "Tolvar"; `detail` (the device
  // and the system's reason) stands under the text when there is one.
  virtual void ShowMessageBox(const QString& text, const QString& detail);
  // Yes/No with the question icon, titled "Tolvar"; true for Yes.
  virtual bool AskQuestion(const QString& question, bool noIsDefault);
  // Ends the program (the exit button).
  virtual void EndProgram();

  // Closing the window while a transfer runs asks to cancel it first; the
  // window closes once the transfer has ended, if the user said "是". "否",
  // or the question hidden unanswered by a question of the transfer, keeps
  // the window.
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowBackupSummary();
  void ShowCancelDialog();
  void CancelAnswered(bool yes);
  QProgressBar* BarOf(Bar bar) const;

  QButtonGroup purposes_;  // the four options, each with its purpose code as id
  Module1* module_ = nullptr;
  QPointer<FormCancel> cancel_;
  QPointer<FormAbout> about_;
  bool transferRunning_ = false;
  bool closePending_ = false;  // the user closed the window during a transfer
  QString lastFolder_;
};
