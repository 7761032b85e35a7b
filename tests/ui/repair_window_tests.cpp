// The repair dialogs in front of the main window, with the repair running
// over the simulated handheld: the file checks and their way back to the
// start button, the option checks, and the main window locked during the
// repair and restored afterwards.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QPointer>
#include <QtTest>
#include <filesystem>

#include "common/image_layout.h"
#include "repair_receiver.h"
#include "test_form.h"
#include "ui/form_back_nand.h"
#include "ui/form_back_nor.h"

namespace {

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + seed + i / 528) & 0xFF);
  return bytes;
}

std::string NandImage(int blocks, int start) {
  std::string bytes = Pattern(blocks * 16896u, blocks);
  for (const std::uint8_t b : nand::TrailerBytes(static_cast<unsigned>(start))) bytes.push_back(static_cast<char>(b));
  return bytes;
}

template <typename Dialog>
QList<Dialog*> Open() {
  QList<Dialog*> open;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<Dialog*>(w); d && d->isVisible()) open.push_back(d);
  return open;
}

// The widget Tab moves to from `from`.
QWidget* NextByTab(QWidget* from) {
  QWidget* next = from->nextInFocusChain();
  while (next != from && (!(next->focusPolicy() & Qt::TabFocus) || next->isWindow())) next = next->nextInFocusChain();
  return next;
}

void DeleteClosedDialogs() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The main window with the repair dialogs hooked to its start button.
struct RepairRig : WindowRig {
  RepairReceiver handheld;
  bool sawLocked = false, sawUnlocked = false;

  explicit RepairRig(RepairReceiver::Flash flash) : handheld(flash) {
    port.Attach(&handheld);
    form.ShowFormBackNor = [this] { ShowFormBackNor(module, &form, [this] { form.CommandSatrt_Click(); }); };
    form.ShowFormBackNand = [this] { ShowFormBackNand(module, &form, [this] { form.CommandSatrt_Click(); }); };
    (flash == RepairReceiver::Flash::Nor ? form.OptionBackNor : form.OptionBackNand)->setChecked(true);
    form.onEvents = [this] {
      const bool locked = form.transferRunning() && !form.CommandExit->isEnabled() && !form.FramePurpose->isEnabled() &&
                          !form.FrameConfig->isEnabled() && form.CommandSatrt->text() == U("取  消");
      (locked ? sawLocked : sawUnlocked) = true;
    };
  }
  ~RepairRig() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<FormBackNor*>(w) || qobject_cast<FormBackNand*>(w)) w->close();
    DeleteClosedDialogs();
  }
  void VerifyRestored() {
    QVERIFY(sawLocked);
    QVERIFY(!sawUnlocked);
    QVERIFY(!form.transferRunning());
    QVERIFY(form.CommandExit->isEnabled() && form.FramePurpose->isEnabled() && form.FrameConfig->isEnabled());
    QCOMPARE(form.CommandSatrt->text(), U("开始通信"));
    QCOMPARE(form.LabelStatus->line(), U("等待开始..."));
    QVERIFY(!port.isOpen);
  }
};

}  // namespace

class RepairWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void norDialogRejectsABadFileAndAsksForAnother() {
    RepairRig rig(RepairReceiver::Flash::Nor);
    WriteFile(rig.Path("short.nor"), Pattern(5 * 32768, 1));
    WriteFile(rig.Path("huge.nor"), "");
    std::filesystem::resize_file(rig.Path("huge.nor").toStdString(), 257 * 32768);  // more pages than a byte can number
    WriteFile(rig.Path("good.nor"), Pattern(6 * 32768, 2));
    rig.form.files = {rig.Path("short.nor"), rig.Path("huge.nor"), rig.Path("good.nor")};
    rig.form.CommandSatrt_Click();
    QCOMPARE(rig.form.fileRequests.size(), std::size_t{3});
    // Stored with LF CR; shown with one line break and no empty line.
    QCOMPARE(rig.form.messages, (std::vector<QString>{U("文件错误!\n请重新选择文件!"), U("文件错误!\n请重新选择文件!")}));
    QCOMPARE(rig.form.details.front(), rig.Path("short.nor") + U(": 文件长度为163840字节,应为6到256个整页(每页32768字节)"));
    const auto open = Open<FormBackNor>();
    QCOMPARE(open.size(), 1);
    FormBackNor* dialog = open.front();
    QCOMPARE(dialog->windowTitle(), U("修复NorFlash"));
    // The dialog's repair is the purpose while it is open; no second dialog.
    QVERIFY(!rig.form.FramePurpose->isEnabled() && !rig.form.CommandSatrt->isEnabled());
    QVERIFY(!dialog->Check1->isChecked() && !dialog->Check2->isChecked() && dialog->Check3->isChecked());
    QVERIFY(!dialog->Check4->isChecked() && !dialog->Check5->isChecked());
    // Tab order: Check5, Check4, 确定, 取消, Check1, Check2, Check3.
    QWidget* expected[] = {dialog->Check5, dialog->Check4, dialog->Command1, dialog->Command2, dialog->Check1, dialog->Check2, dialog->Check3};
    for (std::size_t i = 1; i < std::size(expected); ++i) QCOMPARE(NextByTab(expected[i - 1]), expected[i]);
    // Cancel closes it and sends nothing.
    dialog->Command2->click();
    DeleteClosedDialogs();
    QVERIFY(Open<FormBackNor>().isEmpty());
    QVERIFY(rig.port.wire.empty() && rig.form.FramePurpose->isEnabled() && rig.form.CommandSatrt->isEnabled());
  }

  void norDialogNeedsAPageAndRunsTheRepairWithTheWindowLocked() {
    RepairRig rig(RepairReceiver::Flash::Nor);
    const std::string image = Pattern(6 * 32768, 3);
    WriteFile(rig.Path("x.nor"), image);
    rig.form.files = {rig.Path("x.nor")};
    rig.form.CommandSatrt_Click();
    FormBackNor* dialog = Open<FormBackNor>().value(0);
    QVERIFY(dialog);
    dialog->Check3->setChecked(false);
    dialog->Command1->click();
    QCOMPARE(rig.form.messages, (std::vector<QString>{U("请至少选择一个修复内容!")}));
    QVERIFY(dialog->isVisible());
    QVERIFY(rig.port.wire.empty());

    dialog->Check1->setChecked(true);
    dialog->Check5->setChecked(true);
    dialog->Command1->click();
    DeleteClosedDialogs();
    rig.VerifyRestored();
    QCOMPARE(rig.form.messages.back(), U("恭喜，已成功修复！"));
    QVERIFY(Open<FormBackNor>().isEmpty());
    QCOMPARE(rig.handheld.norPages.size(), std::size_t{1});
    QVERIFY(std::equal(rig.handheld.norPages[0].begin(), rig.handheld.norPages[0].end(), image.begin(),
                       [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    QVERIFY(rig.handheld.formatted);
    QCOMPARE(ReadFile(rig.Path("x.nor")), image);  // page 00 alone leaves the check values alone
  }

  void aNewStartClosesTheDialogOfTheEarlierOne() {
    // The start button stays usable while a repair dialog is open; a dialog
    // left from an earlier start must never repair the file chosen later.
    RepairRig rig(RepairReceiver::Flash::Nand);
    WriteFile(rig.Path("first.nand"), NandImage(2, 0x20));
    WriteFile(rig.Path("second.nand"), NandImage(3, 0x40));
    rig.form.files = {rig.Path("first.nand")};
    rig.form.CommandSatrt_Click();
    QPointer<FormBackNand> first = Open<FormBackNand>().value(0);
    QVERIFY(first);
    rig.form.files = {rig.Path("second.nand")};
    rig.form.CommandSatrt_Click();
    DeleteClosedDialogs();
    QVERIFY(!first);
    FormBackNand* second = Open<FormBackNand>().value(0);
    QVERIFY(second);
    second->Command1->click();
    DeleteClosedDialogs();
    QCOMPARE(rig.form.messages.back(), U("恭喜，已成功修复！"));
    QCOMPARE(rig.handheld.nandBlocks.size(), std::size_t{3});
    QVERIFY(rig.handheld.nandBlocks.count(0x40) && rig.handheld.nandBlocks.count(0x42));
  }

  void nandDialogRejectsLengthAndStartingBlock() {
    RepairRig rig(RepairReceiver::Flash::Nand);
    WriteFile(rig.Path("odd.nand"), std::string(16899, '\0'));
    WriteFile(rig.Path("zero.nand"), NandImage(1, 0));
    WriteFile(rig.Path("one.nand"), NandImage(1, 1));
    WriteFile(rig.Path("x.nor"), Pattern(6 * 32768, 1));
    rig.form.files = {rig.Path("odd.nand"), rig.Path("zero.nand"), rig.Path("x.nor"), rig.Path("one.nand")};
    rig.form.CommandSatrt_Click();
    QCOMPARE(rig.form.messages, (std::vector<QString>{U("文件错误!\n请重新选择文件!"),
                                                      U("文件对应的开始逻辑块号错误,无法修复!\n请重新选择文件!"),
                                                      U("文件错误!\n请重新选择文件!")}));
    QCOMPARE(rig.form.details.back(), rig.Path("x.nor") + U(": 文件长度为196608字节,应为整块(每块16896字节)再加2字节"));
    FormBackNand* dialog = Open<FormBackNand>().value(0);
    QVERIFY(dialog);
    QCOMPARE(Open<FormBackNand>().size(), 1);
    QCOMPARE(dialog->windowTitle(), U("修复NandFlash"));
    QVERIFY(dialog->Option1->isChecked());
    QCOMPARE(dialog->Text1->text(), U("1"));
    QCOMPARE(dialog->Text2->text(), U("1"));
    QCOMPARE(dialog->StartLogicalBlock, 1);
    QWidget* expected[] = {dialog->Check1, dialog->Check2, dialog->Command1, dialog->Command2,
                           dialog->Text1,  dialog->Text2,  dialog->Option1,  dialog->Option2};
    for (std::size_t i = 1; i < std::size(expected); ++i) QCOMPARE(NextByTab(expected[i - 1]), expected[i]);
  }

  void nandBoxesTakeDigitsOnlyAndEnterMovesOn() {
    RepairRig rig(RepairReceiver::Flash::Nand);
    WriteFile(rig.Path("x.nand"), NandImage(5, 2));
    rig.form.files = {rig.Path("x.nand")};
    rig.form.CommandSatrt_Click();
    FormBackNand* dialog = Open<FormBackNand>().value(0);
    QVERIFY(dialog);
    QApplication::setActiveWindow(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    dialog->Text1->setFocus();
    dialog->Text1->clear();
    QTest::keyClicks(dialog->Text1, QStringLiteral("a2b-"));
    QCOMPARE(dialog->Text1->text(), U("2"));
    QTest::keyClick(dialog->Text1, Qt::Key_Backspace);
    QCOMPARE(dialog->Text1->text(), U(""));
    QTest::keyClick(dialog->Text1, Qt::Key_Return);
    QVERIFY(dialog->Text2->hasFocus());
    QTest::keyClicks(dialog->Text2, QStringLiteral("x4"));
    QCOMPARE(dialog->Text2->text(), U("54"));
    QTest::keyClick(dialog->Text2, Qt::Key_Return);
    QCOMPARE(dialog->Text2->text(), U("54"));
    QVERIFY(dialog->isVisible());  // Enter starts nothing

    // Pasted, middle-clicked or dropped text is held to digits too; Delete
    // works, and Escape closes the dialog like 取消.
    QLineEdit* box = dialog->Text2;
    QGuiApplication::clipboard()->setText(U("NC30"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    box->insert(U("x"));  // the way a middle click or a drop enters text
    QCOMPARE(box->text(), U("54"));
    QGuiApplication::clipboard()->setText(U("21"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), U("421"));
    QPointer<FormBackNand> guard(dialog);
    QTest::keyClick(box, Qt::Key_Escape);
    DeleteClosedDialogs();
    QVERIFY(guard.isNull());
    QVERIFY(rig.port.wire.empty());
  }

  void nandRangeIsCheckedThenTheRepairRunsWithTheWindowLocked() {
    RepairRig rig(RepairReceiver::Flash::Nand);
    WriteFile(rig.Path("x.nand"), NandImage(5, 2));
    rig.form.files = {rig.Path("x.nand")};
    rig.form.CommandSatrt_Click();
    FormBackNand* dialog = Open<FormBackNand>().value(0);
    QVERIFY(dialog);
    dialog->Option2->setChecked(true);
    dialog->Text1->setText(U("3"));
    dialog->Text2->setText(U("2"));
    dialog->Command1->click();
    QCOMPARE(rig.form.messages, (std::vector<QString>{U("修复的块应该在1到 5之间,请重新填写.")}));
    QCOMPARE(dialog->Text1->text(), U("1"));
    QCOMPARE(dialog->Text2->text(), U("5"));
    QVERIFY(rig.port.wire.empty());

    int totalMinimum = -1;
    rig.form.onDialog = [&](const QString&) { totalMinimum = rig.form.ProgressBar2->minimum(); };
    dialog->Text1->setText(U("2"));
    dialog->Text2->setText(U("3"));
    dialog->Command1->click();
    DeleteClosedDialogs();
    rig.VerifyRestored();
    QCOMPARE(totalMinimum, 1);
    QCOMPARE(rig.form.messages.back(), U("恭喜，已成功修复！"));
    QCOMPARE(rig.handheld.nandBlocks.size(), std::size_t{2});
    QVERIFY(rig.handheld.nandBlocks.count(3) && rig.handheld.nandBlocks.count(4));
    QVERIFY(Open<FormBackNand>().isEmpty());
  }

  // "确定" takes the port the main window shows then, with the start
  // button's checks, and the file as it is then; the dialog opens centred
  // on the main window.
  void okTakesThePortAndTheFileAsTheyAreThen() {
    RepairRig rig(RepairReceiver::Flash::Nor);
    rig.port.port = 9;  // the handheld hangs on com9, not on the com1 shown at the start
    rig.form.show();
    WriteFile(rig.Path("x.nor"), Pattern(6 * 32768, 3));
    rig.form.files = {rig.Path("x.nor")};
    rig.form.CommandSatrt_Click();
    FormBackNor* dialog = Open<FormBackNor>().value(0);
    QVERIFY(dialog);
    QVERIFY((dialog->frameGeometry().center() - rig.form.frameGeometry().center()).manhattanLength() < 8);

    rig.form.ComboCom->setEditText(U("comx"));
    dialog->Command1->click();
    QVERIFY(rig.form.messages.back().startsWith(U("端口 \"comx\" 不是串口.")));
    QVERIFY(dialog->isVisible() && rig.port.opens == 0);

    rig.form.ComboCom->setEditText(U("com9"));
    dialog->Command1->click();
    DeleteClosedDialogs();
    QCOMPARE(rig.form.messages.back(), U("恭喜，已成功修复！"));

    // The image is gone by the time "确定" is pressed.
    rig.form.files = {rig.Path("x.nor")};
    rig.form.CommandSatrt_Click();
    std::filesystem::remove(rig.Path("x.nor").toStdString());
    Open<FormBackNor>().value(0)->Command1->click();
    DeleteClosedDialogs();
    QCOMPARE(rig.form.messages.back(), U("文件错误!"));
    QCOMPARE(rig.form.details.back(), rig.Path("x.nor") + U(": 文件或文件夹不存在 (No such file or directory)"));
  }

  void aRepairEndedPartWaySaysOnTheStatusLineThatItMustRunAgain() {
    // Frames 0 to 38 were confirmed by the go-ahead that followed each: block 2 is where to go on.
    // A box says so in full after a time-out answered No, not after a cancel; the status line shows it whole.
    const char* const kFull = "文曲星只写入了一部分, 必须重新运行修复. 第 2 块起未经文曲星确认, 请再修复第 2 块到 3 块.";
    const char* const kShort = "文曲星只写入了一部分, 请再修复第 2 块到 3 块.";
    struct Case { int silentFrom, cancelAt; const char *status, *box; };
    for (const Case& c : {Case{0, -1, "等待开始...", nullptr}, {40, -1, kShort, kFull}, {-1, 40, kShort, nullptr}}) {
      RepairRig rig(RepairReceiver::Flash::Nand);
      rig.handheld.faults.silentFrom = c.silentFrom;
      rig.port.onPoll = [&rig, &c] { if (rig.handheld.framesReceived == c.cancelAt) rig.module.RequestCancel(); };
      WriteFile(rig.Path("x.nand"), NandImage(3, 2));
      rig.form.files = {rig.Path("x.nand")};
      rig.form.CommandSatrt_Click();
      FormBackNand* dialog = Open<FormBackNand>().value(0);
      QVERIFY(dialog);
      dialog->Command1->click();
      DeleteClosedDialogs();
      QCOMPARE(rig.form.questions.size(), std::size_t{c.cancelAt < 0});
      QCOMPARE(rig.form.messages.size(), std::size_t{1} + (c.box != nullptr));  // the reset prompt first
      if (c.box) QCOMPARE(rig.form.messages.back(), U(c.box));
      QCOMPARE(rig.form.LabelStatus->line(), U(c.status));
      QCOMPARE(rig.form.LabelStatus->text(), rig.form.LabelStatus->line());  // shown whole
      QCOMPARE(rig.form.CommandSatrt->text(), U("开始通信"));
    }
  }
};

QTEST_MAIN(RepairWindowTest)
#include "repair_window_tests.moc"
