#include "converter/form1.h"

#include <QCloseEvent>
#include <QApplication>
#include <QMessageBox>
#include <QResizeEvent>
#include <QStyle>
#include <QValidator>
#include <algorithm>

#include "common/file_dialog.h"
#include "common/interruption_watch.h"
#include "converter/conversions.h"
#include "converter/messages.h"

namespace {

// Key filter of the number boxes, also applied to pasted text: hexadecimal
// digits (lower-case a-f entered as A-F) or decimal digits only.
class KeyFilter : public QValidator {
 public:
  KeyFilter(bool hexadecimal, QObject* parent) : QValidator(parent), hexadecimal_(hexadecimal) {}

  State validate(QString& input, int&) const override {
    if (hexadecimal_) input = input.toUpper();
    for (const QChar c : input) {
      const bool digit = c >= u'0' && c <= u'9';
      const bool hexLetter = c >= u'A' && c <= u'F';
      if (!digit && !(hexadecimal_ && hexLetter)) return Invalid;
    }
    return Acceptable;
  }

 private:
  bool hexadecimal_;
};

// "Nand文件 (*.nand)|*.nand|所有文件 (*.*)|*.*" -> "Nand文件 (*.nand);;所有文件 (*.*)"
QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList descriptions;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) descriptions << parts[i];
  return descriptions.join(QStringLiteral(";;"));
}

// Message texts break lines with CR LF; widgets want a line feed alone.
QString ForDisplay(const QString& text) {
  QString shown = text;
  return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString Utf8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
  // Form_Load
  HelpNandToData = Utf8(
      "Nand to Data:\r\n"
      "Nand数据是指由Tolvar备份来的Nand文件,Nand文件的大小为16896字节的整倍数+2(最后两字节为文件对应的开始逻辑块号),"
      "每16896字节称为一块"
      ",其中每块包含32页,每页有512字节的数据和16字节的校验,Nand to Data就是将nand文件中的纯数据提取"
      "出来,去除校验,这样便于文件的修改.");
  HelpDataToNand = Utf8(
      "Data to Nand:\r\n"
      "Data文件是指从Nand文件中提取出来的纯数据,没有校验部分.Data to Nand就是重新计算校验,将Data文"
      "件转换为Nand文件,这样,修改过的数据才可以用于Tolvar的Nand修复.需要你提供起始逻辑块号(16进制"
      "),起始逻辑块号是指要修复的数据的第一块对应于文曲星的逻辑块号,譬如你要修复的是文曲星的逻辑块"
      "0c32h,0c33h...0c70h,那么起始逻辑块号就是0c32h,注意:起始逻辑块号必须大于等于0001h.");
  setupUi(this);
  TextBlockNum->setValidator(new KeyFilter(true, TextBlockNum));
  for (QLineEdit* box : {TextBlockVersion1, TextBlockVersion2}) box->setValidator(new KeyFilter(false, box));
  CommandChange->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  // The frame keeps the room of the Data-to-NAND fields when they are hidden,
  // so that the window does not jump when the direction changes.
  Frame2->setMinimumHeight(Frame2->sizeHint().height());
  connect(OptionN2D, &QRadioButton::clicked, this, &Form1::OptionN2D_Click);
  connect(OptionD2N, &QRadioButton::clicked, this, &Form1::OptionD2N_Click);
  connect(CommandOpen, &QPushButton::clicked, this, &Form1::CommandOpen_Click);
  connect(CommandSave, &QPushButton::clicked, this, &Form1::CommandSave_Click);
  connect(CommandChange, &QToolButton::clicked, this, &Form1::CommandChange_Click);
  TextOpen->clear();
  LabelInformationChange();
  WatchInterruptions(this, [this] { close(); });
}

void Form1::LabelInformationChange() {
  const bool toNand = OptionD2N->isChecked();
  LabelInformation->setText(ForDisplay(toNand ? HelpDataToNand : HelpNandToData));
  for (QWidget* w : std::initializer_list<QWidget*>{Label2, Label4, TextBlockNum, Line1, Line5, TextBlockVersion1,
                                                   TextBlockVersion2, Label6, Label7})
    w->setVisible(toNand);
}

QString Form1::ChooseFile(const char* filter, bool newNameAllowed) {
  // Like one shared dialog: cancelling leaves the name it held before.
  const QString chosen = ShowOpenDialog(Utf8(filter), dialogFileName_, newNameAllowed);
  if (!chosen.isEmpty()) dialogFileName_ = chosen;
  return dialogFileName_;
}

void Form1::CommandOpen_Click() {
  TextOpen->setText(ChooseFile(OptionN2D->isChecked() ? kNandFilter : kDataFilter, false));
}

void Form1::CommandSave_Click() {
  TextSave->setText(ChooseFile(OptionN2D->isChecked() ? kDataFilter : kNandFilter, true));
}

void Form1::CommandChange_Click() {
  const std::string source = TextOpen->text().toStdString();
  const std::string target = TextSave->text().toStdString();
  converting_ = true;
  if (OptionN2D->isChecked())
    Nand2Data(*this, source, target);
  else
    Data2Nand(*this, source, target, TextBlockNum->text().toStdString());
  converting_ = false;
  if (closeRequested_) close();
}

void Form1::ShowMessage(const std::string& text) { ShowMessageBox(QString::fromStdString(text), {}); }

void Form1::ShowWithReason(const std::string& text, const std::string& reason) {
  ShowMessageBox(QString::fromStdString(text), QString::fromStdString(reason));
}

bool Form1::Ask(Question, const std::string& text) { return AskQuestion(QString::fromStdString(text)); }

void Form1::SetProgressRange(int minimum, int maximum) { ProgressBar1->setRange(minimum, maximum); }

void Form1::SetProgressValue(int value) { ProgressBar1->setValue(value); }

void Form1::closeEvent(QCloseEvent* event) {
  if (!converting_) return QWidget::closeEvent(event);
  closeRequested_ = true;
  event->ignore();
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QRect room = LabelInformation->contentsRect();
  int needed = 0;
  for (const QString& help : {HelpNandToData, HelpDataToNand})
    needed = std::max(needed, LabelInformation->fontMetrics()
                                  .boundingRect(QRect(room.topLeft(), QSize(room.width(), QWIDGETSIZE_MAX)),
                                                Qt::TextWordWrap, ForDisplay(help))
                                  .height());
  LabelInformation->setMinimumHeight(needed + LabelInformation->height() - room.height());
}

void Form1::SetConvertEnabled(bool enabled) { CommandChange->setEnabled(enabled); }

void Form1::ReadVersionDigits(std::string& major, std::string& minor) {
  major = TextBlockVersion1->text().toStdString();
  minor = TextBlockVersion2->text().toStdString();
}

void Form1::ProcessEvents() { QCoreApplication::processEvents(); }

bool Form1::CancelRequested() { return closeRequested_ || Interrupted(); }

void Form1::ShowMessageBox(const QString& text, const QString& detail) {
  QMessageBox box(QMessageBox::NoIcon, Utf8(text::kTitle), ForDisplay(text), QMessageBox::Ok, this);
  if (!detail.isEmpty()) box.setInformativeText(ForDisplay(detail));
  box.exec();
}

bool Form1::AskQuestion(const QString& text) {
  QMessageBox box(QMessageBox::Question, Utf8(text::kTitle), ForDisplay(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString Form1::ShowOpenDialog(const QString& filter, const QString& fileName, bool newNameAllowed) {
  return ChooseFileName(this, QString(), fileName, QtFilter(filter), QFileDialog::AcceptOpen,
                        newNameAllowed ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
}
