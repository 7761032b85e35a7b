// The main window's controls and start-button dispatch, the cancel question
// and the About box, with every modal dialog answered by the test.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <sys/stat.h>

#include "support/file_dialog_probe.h"
#include "test_form.h"
#include "ui/form_about.h"
#include "ui/form_cancel.h"

namespace {

class RecordingAbout : public FormAbout {
 public:
  std::vector<QUrl> opened;

 protected:
  void OpenAddress(const QUrl& address) override { opened.push_back(address); }
};

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class FormTests : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowLoadsWithItsDefaults();
  void portComesFromThePortText_data();
  void portComesFromThePortText();
  void portListOffersThePresentPorts();
  void typedTextIsNeverCompleted();
  void eachPurposeAsksWithItsOwnDialog_data();
  void eachPurposeAsksWithItsOwnDialog();
  void existingBackupFileNeedsConsent();
  void backupStartsOnlyAfterYes();
  void repairFileMustBeReadable();
  void fileDialogsNeverReadTheFilesTheyList();
  void repairDialogsTakeOverWithTheChosenFile();
  void cancelQuestionFollowsTransferKind();
  void cancelDialogAnswers();
  void aboutBoxOpensItsAddressWithoutAShell();
  void exitButtonEndsTheProgramWhenIdle();
};

void FormTests::mainWindowLoadsWithItsDefaults() {
  WindowRig rig;
  TestForm& f = rig.form;
  QCOMPARE(f.windowTitle(), U("Marnock"));
  QCOMPARE(f.ComboCom->currentText(), U("com1"));
  QCOMPARE(f.ComboKind->currentText(), U("NC3000"));
  QCOMPARE(f.ModelText(), std::string("NC3000"));
  QVERIFY(f.OptionSaveNor->isChecked());
  QCOMPARE(f.PurposeCode(), 1);
  QVERIFY(f.ComboCom->isEditable());
  QCOMPARE(Items(f.ComboCom), QStringList({"com1", "com2", "com3", "com4", "com5", "com6", "com7", "com8"}));
  QCOMPARE(Items(f.ComboKind), QStringList({U("2000系列"), U("NC3000")}));

  // The controls are found by their names; the start button's caption is what
  // tells a start from a cancel request.
  for (const char* name : {"FrameStatus", "FrameConfig", "FramePurpose", "LabelStatus", "Label10", "ProgressBar1",
                           "ProgressBar2", "CommandAbout", "CommandExit", "OptionBackNor", "OptionSaveNand"})
    QVERIFY2(f.findChild<QWidget*>(name), name);
  QCOMPARE(f.findChild<QPushButton*>("CommandSatrt")->text(), U("开始通信"));
  QCOMPARE(f.LabelStatus->line(), U("等待开始..."));
  QVERIFY(f.CommandExit->isEnabled() && f.FramePurpose->isEnabled() && f.FrameConfig->isEnabled());

  // Exactly one purpose at a time.
  f.OptionBackNand->setChecked(true);
  QVERIFY(!f.OptionSaveNor->isChecked());
  QCOMPARE(f.PurposeCode(), 4);
}

void FormTests::portComesFromThePortText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("port");  // 0: named no port, refused before any file is chosen
  QTest::addColumn<QString>("device");
  for (int n = 1; n <= 8; ++n) QTest::addRow("com%d", n) << QStringLiteral("com%1").arg(n) << n << "";
  QTest::newRow("com12 counts every digit") << "com12" << 12 << "";
  QTest::newRow("listed with a description") << "com12 (USB-SERIAL CH340)" << 12 << "";
  QTest::newRow("upper case") << "COM3" << 3 << "";
  QTest::newRow("comx") << "comx" << 0 << "";
  QTest::newRow("too short") << "com" << 0 << "";
  QTest::newRow("empty") << "" << 0 << "";
  QTest::newRow("bare device name") << "ttyUSB0" << 0 << "";
  QTest::newRow("full-width digit") << U("com３") << 0 << "";
  QTest::newRow("com0") << "com0" << 0 << "";
  QTest::newRow("past the last port") << "com257" << 0 << "";
  QTest::newRow("chinese") << U("串口1") << 0 << "";
  QTest::newRow("device path") << "/dev/ttyUSB0" << kNamedPort << "/dev/ttyUSB0";
  QTest::newRow("listed device") << "/dev/ttyUSB0 (FT232R USB UART)" << kNamedPort << "/dev/ttyUSB0";
}

void FormTests::portComesFromThePortText() {
  QFETCH(QString, text);
  QFETCH(int, port);
  QFETCH(QString, device);
  WindowRig rig;
  rig.module.ComPort = 99;
  rig.form.ComboCom->setEditText(text);
  rig.form.CommandSatrt->click();  // the Save dialog is cancelled
  if (port == 0) {
    const QString named = text.isEmpty() ? U("没有填写端口.") : U("端口 \"%1\" 不是串口.").arg(text);
    QCOMPARE(rig.form.messages, std::vector<QString>({named + U("\n端口应为 com1 到 com256, 或串口设备的路径 (如 /dev/ttyUSB0).")}));
    QVERIFY(rig.form.fileRequests.empty());
    return;
  }
  QCOMPARE(rig.module.ComPort, port);
  if (!device.isEmpty()) QCOMPARE(QString::fromStdString(rig.port.devices[kNamedPort]), device);
  QCOMPARE(rig.form.fileRequests.size(), size_t(1));
  QCOMPARE(rig.port.opens, 0);  // a cancelled dialog starts nothing
  QVERIFY(rig.form.messages.empty());
  QVERIFY(rig.module.ImagePath.empty());
}

void FormTests::portListOffersThePresentPorts() {
  WindowRig rig;
  PortComboBox& combo = *rig.form.ComboCom;
  std::vector<PresentPort> present = {{"com3", "COM3", "Communications Port", -1, -1},
                                      {"com12", "COM12", "USB-SERIAL CH340", 0x1A86, 0x7523},
                                      {"/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", 0x0403, 0x6001},
                                      {"/dev/ttyACM0", "/dev/ttyACM0", "", 0x2341, 0x0043}};
  combo.listPorts = [&] { return present; };
  combo.setEditText("com1");
  // Nothing is asked before the list opens.
  QCOMPARE(Items(&combo), QStringList({"com1", "com2", "com3", "com4", "com5", "com6", "com7", "com8"}));

  combo.showPopup();
  QCOMPARE(Items(&combo), QStringList({"com1", "com2", "com3 (Communications Port)", "com4", "com5", "com6", "com7",
                                       "com8", "com12 (USB-SERIAL CH340)", "/dev/ttyUSB0 (FT232R USB UART)",
                                       "/dev/ttyACM0"}));
  QCOMPARE(combo.currentText(), U("com1"));
  combo.hidePopup();

  // The adapter is unplugged and the user has typed a port of their own.
  present.erase(present.begin() + 1, present.end());
  combo.setEditText("com21");
  combo.showPopup();
  QCOMPARE(Items(&combo), QStringList({"com1", "com2", "com3 (Communications Port)", "com4", "com5", "com6", "com7",
                                       "com8"}));
  QCOMPARE(combo.currentText(), U("com21"));
  combo.hidePopup();
}

void FormTests::typedTextIsNeverCompleted() {
  WindowRig rig;
  rig.form.show();
  QApplication::setActiveWindow(&rig.form);
  QVERIFY(QTest::qWaitForWindowActive(&rig.form));
  rig.form.ComboCom->setFocus();
  rig.form.ComboCom->clearEditText();
  QTest::keyClicks(rig.form.ComboCom->lineEdit(), "com");  // inline completion would make it com1
  rig.form.CommandSatrt->click();
  QCOMPARE(rig.module.ComPort, 0);
  QVERIFY(!rig.form.ComboKind->completer());
}

void FormTests::eachPurposeAsksWithItsOwnDialog_data() {
  QTest::addColumn<int>("purpose");
  QTest::addColumn<bool>("save");
  QTest::addColumn<QString>("pattern");
  QTest::newRow("backup NOR") << 1 << true << "Nor文件 (*.nor)";
  QTest::newRow("repair NOR") << 2 << false << "Nor文件 (*.nor)";
  QTest::newRow("backup NAND") << 3 << true << "Nand文件 (*.nand)";
  QTest::newRow("repair NAND") << 4 << false << "Nand文件 (*.nand)";
}

void FormTests::eachPurposeAsksWithItsOwnDialog() {
  QFETCH(int, purpose);
  QFETCH(bool, save);
  QFETCH(QString, pattern);
  WindowRig rig;
  QRadioButton* options[] = {rig.form.OptionSaveNor, rig.form.OptionBackNor, rig.form.OptionSaveNand,
                             rig.form.OptionBackNand};
  options[purpose - 1]->setChecked(true);
  rig.form.CommandSatrt_Click();
  QCOMPARE(rig.form.fileRequests.size(), size_t(1));
  const TestForm::FileRequest& request = rig.form.fileRequests[0];
  QCOMPARE(request.kind, save ? TestForm::FileDialog::Save : TestForm::FileDialog::Open);
  QCOMPARE(request.title, save ? U("指定一个你要保存的文件名") : U("打开一个已存在的备份文件"));
  QCOMPARE(request.filter.split(";;"), QStringList({pattern, U("所有文件 (*.*)")}));
}

void FormTests::existingBackupFileNeedsConsent() {
  WindowRig rig;
  const QString existing = rig.Path("old.nor");
  WriteFile(existing, "old image");
  rig.form.files = {existing, ""};
  rig.form.answers = {false};
  rig.form.CommandSatrt_Click();

  QCOMPARE(rig.form.questions.size(), size_t(1));
  QCOMPARE(rig.form.questions[0].text, U("文件已存在,要覆盖吗？"));
  QVERIFY(rig.form.questions[0].noIsDefault);
  // No: the Save dialog opens again (with an empty name); cancelling it ends the click.
  QCOMPARE(rig.form.fileRequests.size(), size_t(2));
  QCOMPARE(rig.port.opens, 0);
  QVERIFY(rig.module.ImagePath.empty());
  QCOMPARE(ReadFile(existing), std::string("old image"));

  // A name that does not exist yet needs no question.
  rig.form.files = {rig.Path("new.nor")};
  rig.port.failOpen = true;
  rig.form.CommandSatrt_Click();
  QCOMPARE(rig.form.questions.size(), size_t(1));
  QCOMPARE(rig.module.ImagePath, rig.Path("new.nor").toStdString());
}

void FormTests::backupStartsOnlyAfterYes() {
  WindowRig rig;
  const QString existing = rig.Path("old.nand");
  WriteFile(existing, "old image");
  rig.form.OptionSaveNand->setChecked(true);
  rig.form.ComboCom->setEditText("com2");
  rig.port.failOpen = true;  // the backup gets as far as the port
  rig.port.openError = "/dev/ttyS1: 没有权限 (Permission denied)";
  rig.form.files = {existing};
  rig.form.answers = {true};
  rig.form.CommandSatrt_Click();

  QCOMPARE(rig.module.ComPort, 2);
  QCOMPARE(rig.module.ImagePath, existing.toStdString());
  QCOMPARE(rig.form.messages, std::vector<QString>({U("串口打开失败!")}));
  // The device and the reason stand under it.
  QCOMPARE(rig.form.details, std::vector<QString>({U("/dev/ttyS1: 没有权限 (Permission denied)")}));
  QCOMPARE(ReadFile(existing), std::string("old image"));
  QVERIFY(!QFile::exists(existing + ".temp"));
  // The window is back to idle.
  QCOMPARE(rig.form.CommandSatrt->text(), U("开始通信"));
  QVERIFY(rig.form.CommandExit->isEnabled());
  QVERIFY(!rig.form.transferRunning());
}

void FormTests::repairFileMustBeReadable() {
  WindowRig rig;
  int shown = 0;
  rig.form.ShowFormBackNand = [&] { ++shown; };
  rig.form.OptionBackNand->setChecked(true);
  const QString missing = rig.Path("missing.nand");
  const QString folder = rig.folder.path();

  // What cannot be read makes the Open dialog reappear, after saying why.
  const QString fifo = rig.Path("fifo.nand");
  QCOMPARE(mkfifo(fifo.toUtf8().constData(), 0600), 0);
  rig.form.files = {missing, folder, fifo, ""};
  rig.form.CommandSatrt_Click();
  QCOMPARE(rig.form.fileRequests.size(), size_t(4));
  QCOMPARE(shown, 0);
  QCOMPARE(rig.form.messages, std::vector<QString>(3, U("文件错误!\n请重新选择文件!")));
  QCOMPARE(rig.form.details.back(), fifo + U(": 这是一个管道(FIFO),不是文件"));
  QVERIFY(rig.form.questions.empty());
  QVERIFY(rig.module.ImagePath.empty());

  const QString existing = rig.Path("x.nand");
  WriteFile(existing, "image");
  rig.form.files = {missing, existing};
  rig.form.CommandSatrt_Click();
  QCOMPARE(rig.form.fileRequests.size(), size_t(6));
  QCOMPARE(shown, 1);
  QVERIFY(rig.form.questions.empty());  // an existing repair file is never an overwrite
  QCOMPARE(rig.module.ImagePath, existing.toStdString());
}

void FormTests::fileDialogsNeverReadTheFilesTheyList() {
  for (auto kind : {TestForm::FileDialog::Save, TestForm::FileDialog::Open}) {
    WindowRig rig;
    const QString problem = ProbeFileDialog(rig.folder.path(), [&] { rig.form.RealChooseFile(kind, "", U("Nand文件 (*.nand);;所有文件 (*.*)")); });
    if (problem == "unsupported") QSKIP("no named pipes or no inotify here");
    QCOMPARE(problem, QString());
  }
}

void FormTests::repairDialogsTakeOverWithTheChosenFile() {
  WindowRig rig;
  std::vector<std::string> calls;
  rig.form.ShowFormBackNor = [&] { calls.push_back("nor " + rig.module.ImagePath); };
  rig.form.ShowFormBackNand = [&] { calls.push_back("nand " + rig.module.ImagePath); };
  const QString image = rig.Path("x.nor");
  WriteFile(image, "image");

  rig.form.OptionBackNor->setChecked(true);
  rig.form.ComboCom->setEditText("com5");
  rig.form.files = {image};
  rig.form.CommandSatrt_Click();
  QCOMPARE(calls, std::vector<std::string>({"nor " + image.toStdString()}));
  QCOMPARE(rig.module.ComPort, 5);
  QCOMPARE(rig.port.opens, 0);  // the repair dialog, not the window, runs the transfer
  QVERIFY(!rig.form.transferRunning());

  // A repair dialog rejecting the file calls the start button's handler again,
  // and the user chooses anew.
  int rejections = 0;
  rig.form.ShowFormBackNor = [&] {
    calls.push_back("shown " + rig.module.ImagePath);
    if (rejections++ == 0) rig.form.CommandSatrt_Click();
  };
  const QString second = rig.Path("y.nor");
  WriteFile(second, "image");
  rig.form.files = {image, second};
  rig.form.CommandSatrt_Click();
  QCOMPARE(calls.size(), size_t(3));
  QCOMPARE(calls[2], "shown " + second.toStdString());
  QCOMPARE(rig.module.ImagePath, second.toStdString());
}

void FormTests::cancelQuestionFollowsTransferKind() {
  WindowRig rig;
  rig.module.TransferKind = 1;
  FormCancel backup(rig.module);
  QCOMPARE(backup.windowTitle(), U("取消吗?"));
  QCOMPARE(backup.Label1->text(), U("你确实要终止备份进程吗?"));
  QCOMPARE(backup.Command1->text(), U("是"));
  QCOMPARE(backup.Command2->text(), U("否"));

  rig.module.TransferKind = 0;
  FormCancel repair(rig.module);
  QCOMPARE(repair.Label1->text().split('\n'),
           QStringList({U("你确实要终止还原进程吗?"), U("这样可能导致文曲星系统严重损坏!")}));

  rig.module.TransferKind = 7;
  FormCancel other(rig.module);
  QCOMPARE(other.Label1->text(), QString());

  // The question is chosen when the dialog loads, not when it is shown again.
  rig.module.TransferKind = 1;
  repair.show();
  QVERIFY(repair.Label1->text().contains('\n'));
}

void FormTests::cancelDialogAnswers() {
  WindowRig rig;
  rig.module.TransferKind = 1;
  auto* no = new FormCancel(rig.module);
  QPointer<FormCancel> noGuard(no);
  no->show();
  QTest::mouseClick(no->Command2, Qt::LeftButton);
  QVERIFY(!rig.module.CancelFlag);
  QVERIFY(no->unloaded());
  QVERIFY(!no->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(noGuard.isNull());

  auto* yes = new FormCancel(rig.module);
  yes->show();
  QTest::mouseClick(yes->Command1, Qt::LeftButton);
  QVERIFY(rig.module.CancelFlag);
  QVERIFY(yes->unloaded());

  // Closing the dialog by its title bar is a "否".
  rig.module.CancelFlag = false;
  auto* closed = new FormCancel(rig.module);
  closed->show();
  closed->close();
  QVERIFY(closed->unloaded());
  QVERIFY(!rig.module.CancelFlag);

  // "否" has the focus: Space pressed out of habit lets the transfer go on.
  auto* space = new FormCancel(rig.module);
  space->show();
  QVERIFY(QTest::qWaitForWindowActive(space));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  QVERIFY(space->unloaded() && !rig.module.CancelFlag);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void FormTests::aboutBoxOpensItsAddressWithoutAShell() {
  WindowRig rig;
  rig.form.show();
  rig.form.CommandAbout->click();
  FormAbout* shown = rig.form.aboutDialog();
  QVERIFY(shown);
  QVERIFY(shown->isVisible());
  QVERIFY(!shown->isModal());
  QCOMPARE(shown->windowTitle(), U("关于"));
  QCOMPARE(shown->Label1->text(), U("Marnock 06.8.26 更新版"));
  QVERIFY(shown->Label3->text().startsWith(U("作者:")));
  QVERIFY(shown->Label4->text().startsWith("Email:"));
  QVERIFY(shown->Label5->text().startsWith("QQ:"));
  QCOMPARE(shown->Label6->text(), U("blog:"));
  QVERIFY(shown->Label2->font().underline());
  QCOMPARE(shown->Label2->font().pointSize(), 9);
  QCOMPARE(shown->Label2->font().family(), U("宋体"));
  QCOMPARE(shown->CommandOK->text(), U("确定"));
  // The button shows the same box again rather than a second one.
  rig.form.CommandAbout->click();
  QCOMPARE(rig.form.findChildren<FormAbout*>().size(), qsizetype(1));
  QTest::mouseClick(shown->CommandOK, Qt::LeftButton);
  QVERIFY(!shown->isVisible());

  // The address and its caption open the same address.
  RecordingAbout about;
  about.show();
  QTest::mouseClick(about.Label2, Qt::LeftButton);
  QTest::mouseClick(about.Label6, Qt::LeftButton);
  QCOMPARE(about.opened.size(), size_t(2));
  QCOMPARE(about.opened[0], about.opened[1]);
  QCOMPARE(about.opened[0].toString(), about.Label2->text());
  QVERIFY(about.opened[0].scheme() == "https");
}

void FormTests::exitButtonEndsTheProgramWhenIdle() {
  WindowRig rig;
  rig.form.CommandExit->click();
  QCOMPARE(rig.form.endProgramCalls, 1);

  rig.form.LockForTransfer(Host::Task::Backup);
  QVERIFY(!rig.form.CommandExit->isEnabled());
  rig.form.CommandExit_Click();
  QCOMPARE(rig.form.endProgramCalls, 1);
  rig.form.RestoreAfterTransfer(Host::Task::Backup);
  QVERIFY(rig.form.CommandExit->isEnabled());
}

QTEST_MAIN(FormTests)
#include "form_tests.moc"
