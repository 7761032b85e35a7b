#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <functional>

#include <csignal>

#include "common/interruption.h"
#include "converter/form1.h"
#include "converter/messages.h"
#include "support/file_dialog_probe.h"

namespace {

// Form1 with its message boxes and file dialog answered by the test.
class TestForm1 : public Form1 {
 public:
  QStringList messages;
  QStringList details;  // what stands under each message
  QStringList questions;
  QList<bool> answers;              // No when empty
  QStringList filters;              // every filter a dialog was opened with
  QStringList dialogAnswers;        // names to choose; empty text = cancel
  QList<bool> enabledDuringEvents;  // the convert button at every event pass
  std::function<void()> onEvents;

  void ProcessEvents() override {
    enabledDuringEvents << CommandChange->isEnabled();
    if (onEvents) onEvents();
    Form1::ProcessEvents();
  }
  bool RealAsk(const QString& text) { return Form1::AskQuestion(text); }
  QString RealOpenDialog(const QString& fileName) { return Form1::ShowOpenDialog(kNandFilter, fileName, true); }

 protected:
  void ShowMessageBox(const QString& text, const QString& detail) override {
    messages << text;
    details << detail;
  }
  bool AskQuestion(const QString& text) override {
    questions << text;
    return answers.isEmpty() ? false : answers.takeFirst();
  }
  QString ShowOpenDialog(const QString& filter, const QString&, bool) override {
    filters << filter;
    return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
  }
};

QString U(const char* text) { return QString::fromUtf8(text); }

void WriteBytes(const QString& path, std::size_t count, char value) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  out << std::string(count, value);
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private:
  QList<QWidget*> DataToNandFields(Form1& f) {
    return {f.Label2, f.Label4, f.TextBlockNum, f.Line1, f.Line5,
            f.TextBlockVersion1, f.TextBlockVersion2, f.Label6, f.Label7};
  }

  // The window shown, Data to Nand chosen, the paths filled in, start 2.
  static void FillDataToNand(TestForm1& f, const QString& data, const QString& image) {
    f.show();
    f.OptionD2N->click();
    f.TextOpen->setText(data);
    f.TextSave->setText(image);
    QTest::keyClicks(f.TextBlockNum, "2");
  }

 private slots:
  void startsInNandToData() {
    TestForm1 f;
    f.show();
    QCOMPARE(f.windowTitle(), QStringLiteral("Corvane"));
    QVERIFY(f.OptionN2D->isChecked());
    QCOMPARE(f.HelpNandToData, U("Nand to Data:\r\nNand数据是指由Tolvar备份来的Nand文件,Nand文件的大小为16896字节的整倍数+2(最后两字节为文件对应的开始逻辑块号),每16896字节称为一块,其中每块包含32页,每页有512字节的数据和16字节的校验,Nand to Data就是将nand文件中的纯数据提取出来,去除校验,这样便于文件的修改."));
    QCOMPARE(f.HelpDataToNand, U("Data to Nand:\r\nData文件是指从Nand文件中提取出来的纯数据,没有校验部分.Data to Nand就是重新计算校验,将Data文件转换为Nand文件,这样,修改过的数据才可以用于Tolvar的Nand修复.需要你提供起始逻辑块号(16进制),起始逻辑块号是指要修复的数据的第一块对应于文曲星的逻辑块号,譬如你要修复的是文曲星的逻辑块0c32h,0c33h...0c70h,那么起始逻辑块号就是0c32h,注意:起始逻辑块号必须大于等于0001h."));
    QCOMPARE(f.LabelInformation->text(), QString(f.HelpNandToData).replace(U("\r\n"), U("\n")));
    for (QWidget* w : DataToNandFields(f)) QVERIFY2(w->isHidden(), qPrintable(w->metaObject()->className()));
    QCOMPARE(f.TextBlockVersion1->text() + f.TextBlockVersion2->text(), QStringLiteral("31"));
  }

  void keyFiltersTakeHexadecimalAndDigitsOnly() {
    TestForm1 f;
    f.show();
    f.OptionD2N->click();
    QTest::keyClicks(f.TextBlockNum, "0c3z");
    QCOMPARE(f.TextBlockNum->text(), QStringLiteral("0C3"));
    QTest::keyClicks(f.TextBlockNum, "b1");  // the fifth character does not fit
    QCOMPARE(f.TextBlockNum->text(), QStringLiteral("0C3B"));
    f.TextBlockNum->clear();
    QTest::keyClicks(f.TextBlockNum, "G-c32");
    QCOMPARE(f.TextBlockNum->text(), QStringLiteral("C32"));
    QTest::keyClick(f.TextBlockNum, Qt::Key_Backspace);
    QCOMPARE(f.TextBlockNum->text(), QStringLiteral("C3"));

    f.TextBlockVersion1->clear();
    QTest::keyClicks(f.TextBlockVersion1, "a.");
    QCOMPARE(f.TextBlockVersion1->text(), QString());
    QTest::keyClicks(f.TextBlockVersion1, "27");
    QCOMPARE(f.TextBlockVersion1->text(), QStringLiteral("2"));
    QTest::keyClicks(f.TextBlockVersion2, "x");
    QCOMPARE(f.TextBlockVersion2->text(), QStringLiteral("1"));
  }

  void directionSwitchHidesFieldsAndKeepsTheirContents() {
    TestForm1 f;
    f.setFont(QFont(U("Noto Sans CJK SC"), 10));  // the package's font: the help text stands whole in it
    f.show();
    QTest::mouseClick(f.OptionD2N, Qt::LeftButton);
    QVERIFY(f.OptionD2N->isChecked());
    for (QWidget* w : DataToNandFields(f)) QVERIFY(w->isVisible());
    QCOMPARE(f.LabelInformation->text(), QString(f.HelpDataToNand).replace(U("\r\n"), U("\n")));
    QTRY_VERIFY(f.LabelInformation->heightForWidth(f.LabelInformation->width()) <= f.LabelInformation->height());
    QTest::keyClicks(f.TextBlockNum, "c32");
    f.TextBlockVersion2->setText(QStringLiteral("5"));

    QTest::mouseClick(f.OptionN2D, Qt::LeftButton);
    for (QWidget* w : DataToNandFields(f)) {
      QVERIFY(w->isHidden());
      QVERIFY(w->isEnabled());  // hidden, not disabled
    }
    QTest::mouseClick(f.OptionD2N, Qt::LeftButton);
    QCOMPARE(f.TextBlockNum->text(), QStringLiteral("C32"));
    QCOMPARE(f.TextBlockVersion2->text(), QStringLiteral("5"));
  }

  void dialogsOfferTheDirectionsFileKindFirst() {
    TestForm1 f;
    f.dialogAnswers = {QStringLiteral("/a/x.nand"), QStringLiteral("/a/x.dat"), QString(), QString()};
    f.CommandOpen->click();
    f.CommandSave->click();
    f.OptionD2N->click();
    f.CommandOpen->click();
    f.CommandSave->click();
    QCOMPARE(f.filters, QStringList({U(Form1::kNandFilter), U(Form1::kDataFilter), U(Form1::kDataFilter),
                                     U(Form1::kNandFilter)}));
    QCOMPARE(f.filters[0], U("Nand文件 (*.nand)|*.nand|所有文件 (*.*)|*.*"));
    QCOMPARE(f.filters[1], U("Data文件 (*.dat)|*.dat|所有文件 (*.*)|*.*"));
    // A cancelled dialog leaves the name last chosen with either button.
    QCOMPARE(f.TextOpen->text(), QStringLiteral("/a/x.dat"));
    QCOMPARE(f.TextSave->text(), QStringLiteral("/a/x.dat"));
  }

  void convertButtonAfterSuccessAndFailure() {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("x.dat"));
    WriteBytes(data, 2 * 16384, 'a');
    TestForm1 f;
    f.show();
    f.OptionD2N->click();
    f.TextOpen->setText(data);
    f.TextSave->setText(dir.filePath(QStringLiteral("x.nand")));
    QTest::keyClicks(f.TextBlockNum, "c32");
    f.TextBlockVersion2->clear();
    QTest::keyClicks(f.TextBlockVersion2, "2");
    QTest::mouseClick(f.CommandChange, Qt::LeftButton);
    QCOMPARE(f.messages, QStringList({U("转换成功!")}));
    QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("x.nand"))).at(16896 - 3), '\x32');  // page 32's version byte
    QCOMPARE(f.enabledDuringEvents.size(), 64 + 1);  // and once more before the rename
    QVERIFY(!f.enabledDuringEvents.contains(true));
    QVERIFY(f.CommandChange->isEnabled());
    QCOMPARE(f.ProgressBar1->value(), 0);
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("x.nand"))).size(), 2 * 16896 + 2);

    // Back the other way: the starting block question comes first. A data
    // bit the spare area would correct is copied as it stands, and said.
    QByteArray image = ReadBytes(dir.filePath(QStringLiteral("x.nand")));
    image[528 + 100] = static_cast<char>(image[528 + 100] ^ 0x04);
    QFile nand(dir.filePath(QStringLiteral("x.nand")));
    QVERIFY(nand.open(QIODevice::WriteOnly) && nand.write(image) == image.size());
    nand.close();
    f.OptionN2D->click();
    f.TextOpen->setText(dir.filePath(QStringLiteral("x.nand")));
    f.TextSave->setText(dir.filePath(QStringLiteral("y.dat")));
    f.answers = {true};
    f.messages.clear();
    f.CommandChange->click();
    QCOMPARE(f.questions, QStringList({U("文件对应的开始逻辑块号为C32h,转换?")}));
    QCOMPARE(f.messages, QStringList({U("转换成功!"), QString::fromStdString(text::WrongPagesCopied(1, 0))}));
    QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("y.dat"))).at(512 + 100), image.at(528 + 100));

    // A target folder that does not exist: refused before anything is written.
    f.messages.clear();
    f.TextSave->setText(dir.filePath(QStringLiteral("none/y.dat")));
    f.answers = {true};
    f.CommandChange->click();
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].startsWith(U("无法保存为 ") + dir.filePath(QStringLiteral("none/y.dat"))),
             qPrintable(f.messages[0]));
    QVERIFY(f.CommandChange->isEnabled());
    QCOMPARE(f.ProgressBar1->value(), 0);

    // A source refused: the reason stands under the fixed text.
    for (const QString& source : {dir.path(), data}) {
      f.details.clear();
      f.TextOpen->setText(source);
      f.CommandChange->click();
      QVERIFY(f.details.value(0).startsWith(U("打开路径 ") + source + U(": ")));
    }
  }

  // Closing the window and an interruption both stop a conversion at its
  // next block: no message, the old target (or none) as it was, no temporary
  // file, and the window closes.
  void closingOrInterruptingStopsTheConversion_data() {
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<bool>("oldTarget");
    QTest::newRow("closed, new target") << false << false;
    QTest::newRow("closed, old target") << false << true;
    QTest::newRow("interrupted, old target") << true << true;
  }
  void closingOrInterruptingStopsTheConversion() {
    QFETCH(bool, interrupt);
    QFETCH(bool, oldTarget);
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("x.dat"));
    const QString image = dir.filePath(QStringLiteral("x.nand"));
    WriteBytes(data, 40 * 16384, 'b');
    if (oldTarget) WriteBytes(image, 3, 'o');
    if (interrupt) CatchInterruptions();
    TestForm1 f;
    FillDataToNand(f, data, image);
    f.answers = {true};
    f.onEvents = [&] {
      if (f.enabledDuringEvents.size() != 40) return;
      if (!interrupt) return void(f.close());
      raise(SIGTERM);
      QTest::qWait(150);  // the window notices within a tenth of a second
    };
    f.CommandChange->click();
    if (interrupt) {
      ForgetInterruption();
      std::signal(SIGTERM, SIG_DFL);
    }
    QVERIFY(f.enabledDuringEvents.size() <= 64);  // stopped within the second block
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             oldTarget ? QStringList({"x.dat", "x.nand"}) : QStringList({"x.dat"}));
    if (oldTarget) QCOMPARE(QFileInfo(image).size(), 3);
    QVERIFY(!f.isVisible());
    QVERIFY(f.CommandChange->isEnabled());
    QCOMPARE(f.ProgressBar1->value(), 0);
  }

  void fileDialogNeverReadsTheFilesItLists() {
    QTemporaryDir folder;
    TestForm1 f;
    const QString problem = ProbeFileDialog(folder.path(), [&] { f.RealOpenDialog(folder.filePath("x.nand")); });
    if (problem == "unsupported") QSKIP("no named pipes or no inotify here");
    QCOMPARE(problem, QString());
  }

  void questionsDefaultToNo() {
    TestForm1 f;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool noIsDefault = false;
    // Looks at the box once it is open and presses Enter, which takes the default.
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      title = box->windowTitle();
      icon = box->icon();
      noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
      QTest::keyClick(box, Qt::Key_Return);
    });
    timer.start();
    QVERIFY(!f.RealAsk(U("文件已存在,要覆盖吗?")));
    timer.stop();
    QCOMPARE(title, QStringLiteral("Corvane"));
    QCOMPARE(icon, QMessageBox::Question);
    QVERIFY(noIsDefault);
  }
};

QTEST_MAIN(Form1Test)
#include "form1_tests.moc"
