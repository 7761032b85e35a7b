#pragma once
#include <functional>

#include "repair/repair_checks.h"
#include "ui/repair_dialog.h"
#include "ui_form_back_nor.h"

// The NOR repair options "修复NorFlash" (form_back_nor.ui): which pages, low
// speed, format afterwards. Modeless; OK hides it and runs the repair with the
// main window locked, then it unloads itself. Messages go through the engine's
// Host.
class FormBackNor : public RepairDialog, public Ui::FormBackNor {
  Q_OBJECT

 public:
  // `mainWindow` is activated when the repair starts.
  FormBackNor(Module1& m, FormMain* mainWindow);

  bool Form_Load() override;
  void Command1_Click();

  NorRepairOptions Options() const;
};

// What the main window's start button does for "修复系统Nor" once ImagePath is
// set: load the dialog and show it, or, when the file is rejected, run
// `startAgain` (the start button's action) so that the user chooses anew.
// Returns the dialog shown, or null.
FormBackNor* ShowFormBackNor(Module1& m, FormMain* mainWindow, const std::function<void()>& startAgain);
