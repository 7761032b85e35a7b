#include "ui/form_back_nand.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "link/module1.h"
#include "repair/nand_repair.h"

FormBackNand::FormBackNand(Module1& m, FormMain* mainWindow) : RepairDialog(m, mainWindow) {
  setupUi(this);
  // Digits only, however the text arrives: typed, pasted, middle-clicked or
  // dropped. The editing keys (Delete, Ctrl+A, Ctrl+C, Ctrl+V) keep working.
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), this);
  Text1->setValidator(digits);
  Text2->setValidator(digits);

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
    Reject(check.message, check.reason);
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
  if (!HandOverToMainWindow()) return;
  const NandRepairOptions options{Check1->isChecked(), Check2->isChecked()};
  const RepairEnding ending = BackNand(m_, FirstBlock, LastBlock, StartLogicalBlock, options);
  const int from = m_.FirstUnconfirmedBlock;
  SayWhatIsLeft(ending, NandRepairStatus(from, LastBlock), kRunRepairAgain + NandRepairNext(from, LastBlock, false));
  Unload();
}

FormBackNand* ShowFormBackNand(Module1& m, FormMain* mainWindow, const std::function<void()>& startAgain) {
  return RepairDialog::Show(new FormBackNand(m, mainWindow), startAgain);
}
