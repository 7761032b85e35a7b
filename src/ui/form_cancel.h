#pragma once
#include <QDialog>

#include "ui_form_cancel.h"

class Module1;

// Asks whether to stop the running transfer. It chooses its question when it
// loads, by TransferKind: a backup asks one line, a repair warns that the
// handheld may be left damaged. "是" sets CancelFlag, "否" does nothing; both
// unload the dialog. Shown modeless by the main window's start button.
// Controls in form_cancel.ui.
class FormCancel : public QDialog, public Ui::FormCancel {
  Q_OBJECT

 public:
  FormCancel(Module1& module, QWidget* parent = nullptr);

  void Form_Load();
  void Command1_Click();
  void Command2_Click();

  // Closes the dialog for good; it is deleted once control returns to the
  // event loop. A dialog that is only hidden stays loaded.
  void Unload();
  bool unloaded() const { return unloaded_; }

  static const char* const kBackupQuestion;
  static const char* const kRepairQuestion;

 signals:
  // After the user answered; true for "是".
  void answered(bool yes);

 protected:
  // The title-bar button counts as "否".
  void reject() override;

 private:
  Module1& module_;
  bool unloaded_ = false;
};
