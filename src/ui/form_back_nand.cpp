#include "ui/form_back_nand.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <iterator>

#include "link/module1.h"
#include "repair/nand_repair.h"
#include "ui/widget_text.h"

FormBackNand::FormBackNand(Module1& m, QWidget* mainWindow)
    : RepairDialog(m, mainWindow, "FormBackNand", "修复NandFlash") {

  Frame5 = Named(new QGroupBox(Text("修复选项"), this), "Frame5");
  Label1 = Named(new QLabel(Text("选择修复的数据:"), Frame5), "Label1");
  Option1 = Named(new QRadioButton(Text("全部"), Frame5), "Option1");
  Option2 = Named(new QRadioButton(Frame5), "Option2");
  Label7 = Named(new QLabel(Text("第"), Frame5), "Label7");
  Text1 = Named(new QLineEdit(QStringLiteral("1"), Frame5), "Text1");
  Label8 = Named(new QLabel(Text("块到"), Frame5), "Label8");
  Text2 = Named(new QLineEdit(QStringLiteral("1"), Frame5), "Text2");
  Label9 = Named(new QLabel(Text("块"), Frame5), "Label9");
  Check1 = Named(new QCheckBox(Text("低速修复"), Frame5), "Check1");
  Check2 = Named(new QCheckBox(Text("修复后格式化文曲星"), Frame5), "Check2");
  Command1 = Named(new QPushButton(Text("确定"), this), "Command1");
  Command2 = Named(new QPushButton(Text("取消"), this), "Command2");
  Option1->setChecked(true);
  // Digits only, however the text arrives: typed, pasted, middle-clicked or
  // dropped. The editing keys (Delete, Ctrl+A, Ctrl+C, Ctrl+V) keep working.
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), this);
  for (QLineEdit* box : {Text1, Text2}) {
    box->setMaxLength(4);
    box->setMaximumWidth(60);
    box->setValidator(digits);
  }

  auto* range = new QHBoxLayout;
  range->addWidget(Option2);
  range->addWidget(Label7);
  range->addWidget(Text1);
  range->addWidget(Label8);
  range->addWidget(Text2);
  range->addWidget(Label9);
  range->addStretch(1);
  auto* checks = new QHBoxLayout;
  checks->addWidget(Check1);
  checks->addWidget(Check2);
  checks->addStretch(1);
  auto* frame = new QVBoxLayout(Frame5);
  frame->addWidget(Label1);
  frame->addWidget(Option1);
  frame->addLayout(range);
  frame->addLayout(checks);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addStretch(1);
  buttons->addWidget(Command2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Frame5);
  layout->addLayout(buttons);

  QWidget* order[] = {Check1, Check2, Command1, Command2, Text1, Text2, Option1, Option2};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  // Enter in the first box moves on to the second; in the second it does nothing.
  connect(Text1, &QLineEdit::returnPressed, Text2, qOverload<>(&QWidget::setFocus));
  connect(Command1, &QPushButton::clicked, this, &FormBackNand::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &FormBackNand::Command2_Click);
}

bool FormBackNand::Form_Load() {
  const NandImageCheck check = CheckNandImage(m_.ImagePath);
  ImageLength = check.imageLength;
  StartLogicalBlock = check.startLogicalBlock;
  if (!check.accepted) {
    m_.host.ShowMessage(check.message);
    return false;
  }
  blocks_ = check.blocks;
  Text1->setText(QStringLiteral("1"));
  Text2->setText(QString::number(blocks_));
  Option1->setChecked(true);
  return true;
}

void FormBackNand::Command1_Click() {
  const NandRange range = CheckNandRange(Option1->isChecked(), Text1->text().toStdString(), Text2->text().toStdString(), blocks_);
  if (!range.accepted) {
    m_.host.ShowMessage(range.message);
    Text1->setText(QStringLiteral("1"));
    Text2->setText(QString::number(blocks_));
    return;
  }
  FirstBlock = range.firstBlock;
  LastBlock = range.lastBlock;
  HandOverToMainWindow();
  BackNand(m_, FirstBlock, LastBlock, StartLogicalBlock, NandRepairOptions{Check1->isChecked(), Check2->isChecked()});
  Unload();
}


FormBackNand* ShowFormBackNand(Module1& m, QWidget* mainWindow, const std::function<void()>& startAgain) {
  return RepairDialog::Show(new FormBackNand(m, mainWindow), startAgain);
}
