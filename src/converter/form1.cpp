#include "converter/form1.h"

#include <QCloseEvent>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QValidator>
#include <QVBoxLayout>

#include "common/file_dialog.h"
#include "common/interruption_watch.h"
#include "converter/conversions.h"
#include "converter/messages.h"

namespace {

const char* const kStartTip = "输入起始逻辑块号(16进制)";

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
  BuildControls();
  TextOpen->clear();
  LabelInformationChange();
  WatchInterruptions(this, [this] { close(); });
}

void Form1::BuildControls() {
  setWindowTitle(Utf8(text::kTitle));

  // Direction, Data-to-NAND fields and the convert button.
  Frame2 = new QFrame(this);
  Frame2->setFrameShape(QFrame::StyledPanel);
  OptionN2D = new QRadioButton(QStringLiteral("Nand to Data"), Frame2);
  OptionD2N = new QRadioButton(QStringLiteral("Data to Nand"), Frame2);
  OptionN2D->setChecked(true);

  // Line5 runs from the end of OptionD2N's text to the box of the fields
  // that option asks for, at the height of the option.
  Line5 = new QFrame(Frame2);
  Line5->setFrameShape(QFrame::HLine);
  Line5->setFrameShadow(QFrame::Plain);
  Line5->setMinimumWidth(16);
  OptionD2N->setSizePolicy(QSizePolicy::Maximum, OptionD2N->sizePolicy().verticalPolicy());
  auto* toBox = new QHBoxLayout;
  toBox->setSpacing(0);
  toBox->addWidget(OptionD2N);
  toBox->addWidget(Line5);
  auto* options = new QVBoxLayout;
  options->addWidget(OptionN2D);
  options->addLayout(toBox);

  Line1 = new QFrame(Frame2);
  Line1->setFrameShape(QFrame::Box);

  Label2 = new QLabel(Utf8("起始逻辑块号:"), Line1);
  Label2->setToolTip(Utf8(kStartTip));
  TextBlockNum = new QLineEdit(Line1);
  TextBlockNum->setMaxLength(4);
  TextBlockNum->setToolTip(Utf8(kStartTip));
  TextBlockNum->setValidator(new KeyFilter(true, TextBlockNum));
  TextBlockNum->setFixedWidth(60);
  Label4 = new QLabel(QStringLiteral("h"), Line1);
  Label6 = new QLabel(Utf8("Nand版本号:"), Line1);
  TextBlockVersion1 = new QLineEdit(QStringLiteral("3"), Line1);
  TextBlockVersion2 = new QLineEdit(QStringLiteral("1"), Line1);
  for (QLineEdit* box : {TextBlockVersion1, TextBlockVersion2}) {
    box->setMaxLength(1);
    box->setValidator(new KeyFilter(false, box));
    box->setFixedWidth(24);
  }
  Label7 = new QLabel(QStringLiteral("."), Line1);
  auto* fields = new QGridLayout(Line1);
  fields->addWidget(Label2, 0, 0);
  fields->addWidget(TextBlockNum, 0, 1, 1, 3);
  fields->addWidget(Label4, 0, 4);
  fields->addWidget(Label6, 1, 0);
  fields->addWidget(TextBlockVersion1, 1, 1);
  fields->addWidget(Label7, 1, 2);
  fields->addWidget(TextBlockVersion2, 1, 3);

  CommandChange = new QToolButton(Frame2);
  CommandChange->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  CommandChange->setIconSize(QSize(32, 32));
  CommandChange->setToolTip(Utf8("转换"));

  auto* top = new QHBoxLayout(Frame2);
  top->setSpacing(0);  // the connector touches the box
  top->addLayout(options);
  top->addWidget(Line1);
  top->addStretch();
  top->addWidget(CommandChange);
  // The frame keeps the room of the Data-to-NAND fields when they are hidden,
  // so that the window does not jump when the direction changes.
  Frame2->setMinimumHeight(Frame2->sizeHint().height());

  // Source and target.
  Frame1 = new QFrame(this);
  Frame1->setFrameShape(QFrame::StyledPanel);
  Label3 = new QLabel(Utf8("打开路径:"), Frame1);
  TextOpen = new QLineEdit(Frame1);
  CommandOpen = new QPushButton(QStringLiteral("..."), Frame1);
  Label1 = new QLabel(Utf8("转换为:"), Frame1);
  TextSave = new QLineEdit(Frame1);
  CommandSave = new QPushButton(QStringLiteral("..."), Frame1);
  for (QPushButton* b : {CommandOpen, CommandSave}) b->setFixedWidth(32);
  auto* paths = new QGridLayout(Frame1);
  paths->addWidget(Label3, 0, 0);
  paths->addWidget(TextOpen, 0, 1);
  paths->addWidget(CommandOpen, 0, 2);
  paths->addWidget(Label1, 1, 0);
  paths->addWidget(TextSave, 1, 1);
  paths->addWidget(CommandSave, 1, 2);

  // Progress and help.
  Label5 = new QLabel(Utf8("进度:"), this);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  auto* progress = new QHBoxLayout;
  progress->addWidget(Label5);
  progress->addWidget(ProgressBar1);
  LabelInformation = new QLabel(this);
  LabelInformation->setWordWrap(true);
  LabelInformation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelInformation->setMinimumHeight(90);

  auto* window = new QVBoxLayout(this);
  window->addWidget(Frame2);
  window->addWidget(Frame1);
  window->addLayout(progress);
  window->addWidget(LabelInformation, 1);
  resize(520, 330);

  connect(OptionN2D, &QRadioButton::clicked, this, &Form1::OptionN2D_Click);
  connect(OptionD2N, &QRadioButton::clicked, this, &Form1::OptionD2N_Click);
  connect(CommandOpen, &QPushButton::clicked, this, &Form1::CommandOpen_Click);
  connect(CommandSave, &QPushButton::clicked, this, &Form1::CommandSave_Click);
  connect(CommandChange, &QToolButton::clicked, this, &Form1::CommandChange_Click);
}

void Form1::LabelInformationChange() {
  const bool toNand = OptionD2N->isChecked();
  LabelInformation->setText(ForDisplay(toNand ? HelpDataToNand : HelpNandToData));
  for (QWidget* w : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label4),
                     static_cast<QWidget*>(TextBlockNum), static_cast<QWidget*>(Line1),
                     static_cast<QWidget*>(Line5), static_cast<QWidget*>(TextBlockVersion1),
                     static_cast<QWidget*>(TextBlockVersion2), static_cast<QWidget*>(Label6),
                     static_cast<QWidget*>(Label7)})
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
  if (closeWhenDone_) close();
}

void Form1::ShowMessage(const std::string& text) { ShowMessageBox(QString::fromStdString(text)); }

bool Form1::Ask(Question, const std::string& text) { return AskQuestion(QString::fromStdString(text)); }

void Form1::SetProgressRange(int minimum, int maximum) { ProgressBar1->setRange(minimum, maximum); }

void Form1::SetProgressValue(int value) { ProgressBar1->setValue(value); }

void Form1::closeEvent(QCloseEvent* event) {
  if (!converting_) return QWidget::closeEvent(event);
  closeWhenDone_ = true;
  event->ignore();
}

void Form1::SetConvertEnabled(bool enabled) { CommandChange->setEnabled(enabled); }

void Form1::ReadVersionDigits(std::string& major, std::string& minor) {
  major = TextBlockVersion1->text().toStdString();
  minor = TextBlockVersion2->text().toStdString();
}

void Form1::ProcessEvents() { QCoreApplication::processEvents(); }

bool Form1::CancelRequested() { return Interrupted(); }

void Form1::ShowMessageBox(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, Utf8(text::kTitle), ForDisplay(text), QMessageBox::Ok, this);
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
