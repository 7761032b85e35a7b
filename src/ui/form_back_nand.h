#pragma once
#include <functional>

#include "repair/repair_checks.h"
#include "ui/repair_dialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The NAND repair options "修复NandFlash": all blocks or a range, low speed,
// format afterwards. Modeless; OK checks the range, hides the dialog and runs
// the repair with the main window locked, then it unloads itself. Messages go
// through the engine's Host.
class FormBackNand : public RepairDialog {
  Q_OBJECT

 public:
  FormBackNand(Module1& m, QWidget* mainWindow);

  QGroupBox* Frame5;
  QLabel* Label1;
  QRadioButton* Option1;  // "全部"
  QRadioButton* Option2;  // the range
  QLabel* Label7;
  QLineEdit* Text1;
  QLabel* Label8;
  QLineEdit* Text2;
  QLabel* Label9;
  QCheckBox* Check1;  // "低速修复"
  QCheckBox* Check2;  // "修复后格式化文曲星"
  QPushButton* Command1;  // "确定"
  QPushButton* Command2;  // "取消"

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
FormBackNand* ShowFormBackNand(Module1& m, QWidget* mainWindow, const std::function<void()>& startAgain);
