#pragma once
#include <functional>

#include "repair/repair_checks.h"
#include "ui/repair_dialog.h"
#include "ui_form_back_nand.h"

// The NAND repair options "修复NandFlash" (form_back_nand.ui): all blocks or a
// range, low speed, format afterwards. Modeless; OK checks the range, hides
// the dialog and runs the repair with the main window locked, then it unloads
// itself. Messages go through the engine's Host.
class FormBackNand : public RepairDialog, public Ui::FormBackNand {
  Q_OBJECT

 public:
  FormBackNand(Module1& m, FormMain* mainWindow);

  bool Form_Load() override;
  void Command1_Click();

  // The dialog's fields.
  std::uint64_t ImageLength = 0;
  int StartLogicalBlock = 0;
  int FirstBlock = 1;
  int LastBlock = 1;

 private:
  int blocks_ = 0;
};

// What the main window's start button does for "修复系统Nand" once ImagePath
// is set: load the dialog and show it, or, when the file is rejected, run
// `startAgain` so that the user chooses anew. Returns the dialog shown, or null.
FormBackNand* ShowFormBackNand(Module1& m, FormMain* mainWindow, const std::function<void()>& startAgain);
