#pragma once
#include <functional>

#include "repair/repair_checks.h"
#include "ui/repair_dialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The NOR repair options "修复NorFlash": which pages, low speed, format
// afterwards. Modeless; OK hides it and runs the repair with the main window
// locked, then it unloads itself. Messages go through the engine's Host.
class FormBackNor : public RepairDialog {
  Q_OBJECT

 public:
  // `mainWindow` is activated when the repair starts.
  FormBackNor(Module1& m, QWidget* mainWindow);

  QGroupBox* Frame5;
  QLabel* Label1;
  QCheckBox* Check1;  // "00页"
  QCheckBox* Check2;  // "01页"
  QCheckBox* Check3;  // "02页-最后页"
  QCheckBox* Check4;  // "低速修复"
  QCheckBox* Check5;  // "修复后格式化文曲星"
  QPushButton* Command1;  // "确定"
  QPushButton* Command2;  // "取消"

  bool Form_Load() override;
  void Command1_Click();

  NorRepairOptions Options() const;

 private:
};

// What the main window's start button does for "修复系统Nor" once ImagePath is
// set: load the dialog and show it, or, when the file is rejected, run
// `startAgain` (the start button's action) so that the user chooses anew.
// Returns the dialog shown, or null.
FormBackNor* ShowFormBackNor(Module1& m, QWidget* mainWindow, const std::function<void()>& startAgain);
