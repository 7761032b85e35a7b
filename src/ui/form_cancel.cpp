#include "ui/form_cancel.h"

#include "link/module1.h"
#include "ui/widget_text.h"

const char* const FormCancel::kBackupQuestion = "你确实要终止备份进程吗?";
const char* const FormCancel::kRepairQuestion = "你确实要终止还原进程吗?\r\n这样可能导致文曲星系统严重损坏!";

FormCancel::FormCancel(Module1& module, QWidget* parent) : QDialog(parent), module_(module) {
  setupUi(this);
  Label1->setMinimumHeight(2 * Label1->fontMetrics().lineSpacing());
  connect(Command1, &QPushButton::clicked, this, &FormCancel::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &FormCancel::Command2_Click);
  // Space pressed out of habit must not end a repair: "否" has the focus.
  Command2->setFocus();
  Form_Load();
}

void FormCancel::Form_Load() {
  if (module_.TransferKind == 1) {
    Label1->setText(WidgetText(kBackupQuestion));
  } else if (module_.TransferKind == 0) {
    Label1->setText(WidgetText(kRepairQuestion));
  }
}

void FormCancel::Command1_Click() {
  if (unloaded_) return;
  module_.RequestCancel();
  Unload();
  emit answered(true);
}

void FormCancel::Command2_Click() {
  if (unloaded_) return;
  Unload();
  emit answered(false);
}

void FormCancel::reject() { Command2_Click(); }

void FormCancel::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  hide();
  deleteLater();
}
