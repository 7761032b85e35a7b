#include "ui/form_back_nor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>
#include <filesystem>
#include <system_error>

#include "common/file_exists.h"
#include "link/module1.h"
#include "repair/nor_repair.h"
#include "ui/widget_text.h"

FormBackNor::FormBackNor(Module1& m, QWidget* mainWindow)
    : RepairDialog(m, mainWindow, "FormBackNor", "修复NorFlash") {

  Frame5 = Named(new QGroupBox(Text("修复选项"), this), "Frame5");
  Label1 = Named(new QLabel(Text("选择修复的数据:"), Frame5), "Label1");
  Check1 = Named(new QCheckBox(Text("00页"), Frame5), "Check1");
  Check2 = Named(new QCheckBox(Text("01页"), Frame5), "Check2");
  Check3 = Named(new QCheckBox(Text("02页-最后页"), Frame5), "Check3");
  Check4 = Named(new QCheckBox(Text("低速修复"), Frame5), "Check4");
  Check5 = Named(new QCheckBox(Text("修复后格式化文曲星"), Frame5), "Check5");
  Command1 = Named(new QPushButton(Text("确定"), this), "Command1");
  Command2 = Named(new QPushButton(Text("取消"), this), "Command2");
  Check3->setChecked(true);

  auto* frame = new QGridLayout(Frame5);
  frame->addWidget(Label1, 0, 0, 1, 3);
  frame->addWidget(Check1, 1, 0);
  frame->addWidget(Check2, 1, 1);
  frame->addWidget(Check3, 1, 2);
  frame->addWidget(Check4, 2, 0);
  frame->addWidget(Check5, 2, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addStretch(1);
  buttons->addWidget(Command2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Frame5);
  layout->addLayout(buttons);

  QWidget* order[] = {Check5, Check4, Command1, Command2, Check1, Check2, Check3};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(Command1, &QPushButton::clicked, this, &FormBackNor::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &FormBackNor::Command2_Click);
}

bool FormBackNor::Form_Load() {
  std::error_code error;
  const auto length = std::filesystem::file_size(PathFromUtf8(m_.ImagePath), error);
  if (error || !NorImageLengthAcceptable(length)) {
    m_.host.ShowMessage(kFileErrorReselect);
    return false;
  }
  return true;
}

NorRepairOptions FormBackNor::Options() const {
  NorRepairOptions o;
  o.page00 = Check1->isChecked();
  o.page01 = Check2->isChecked();
  o.pagesFrom02 = Check3->isChecked();
  o.lowSpeed = Check4->isChecked();
  o.format = Check5->isChecked();
  return o;
}

void FormBackNor::Command1_Click() {
  const NorRepairOptions options = Options();
  if (!options.AnyPage()) {
    m_.host.ShowMessage(kNoPageChosen);
    return;
  }
  HandOverToMainWindow();
  BackNor(m_, options);
  Unload();
}


FormBackNor* ShowFormBackNor(Module1& m, QWidget* mainWindow, const std::function<void()>& startAgain) {
  return RepairDialog::Show(new FormBackNor(m, mainWindow), startAgain);
}
