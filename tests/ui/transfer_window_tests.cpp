// The main window while a real backup runs over the simulated handheld: the
// locked state and its restoration, the start button's cancel role, a cancel
// confirmed through the cancel dialog, and closing the window mid-transfer.
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "test_form.h"
#include "image_check/nor_values.h"
#include "image_check/spare_area.h"
#include "repair/nor_repair.h"
#include "repair_receiver.h"
#include "ui/form_cancel.h"

#include <sys/stat.h>

#include <csignal>

#include "common/interruption.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 256) & 0xFF);
  return bytes;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// What the window looks like at one moment.
struct WindowState {
  bool exitEnabled, purposeEnabled, configEnabled, totalBarEnabled, totalLabelEnabled, transferRunning;
  QString start, status;
  int current;
};

WindowState StateOf(const FormMain& f) {
  return {f.CommandExit->isEnabled(), f.FramePurpose->isEnabled(), f.FrameConfig->isEnabled(),
          f.ProgressBar2->isEnabled(), f.Label10->isEnabled(),     f.transferRunning(),
          f.CommandSatrt->text(),      f.LabelStatus->line(),      f.ProgressBar1->value()};
}

// Idle again; after a successful backup the status names the image, its size and SHA-256.
void VerifyIdle(const FormMain& f, const QString& backedUp = QString()) {
  const WindowState s = StateOf(f);
  QVERIFY(s.exitEnabled && s.purposeEnabled && s.configEnabled && s.totalBarEnabled && s.totalLabelEnabled);
  QVERIFY(!s.transferRunning);
  QCOMPARE(s.start, U("开始通信"));
  if (backedUp.isEmpty()) {
    QCOMPARE(s.status, U("等待开始..."));
  } else {
    QVERIFY2(s.status.startsWith(backedUp + ": ") && s.status.contains(U(" 字节, SHA-256 ")), qPrintable(s.status));
  }
  QCOMPARE(s.current, f.ProgressBar1->minimum());
  QVERIFY(!f.cancelDialog());
}

// `frames` frames of a pattern. Whole pages (NOR, six or more) or blocks
// (NAND, from logical block C33h) carry right check values, as a handheld's
// do; shorter ones are no sound image. Byte `flip`, where given, has lost a bit.
std::vector<std::uint8_t> FlashImage(BackupSender::Flash flash, int frames, int flip) {
  const bool nor = flash == BackupSender::Flash::Nor;
  std::vector<std::uint8_t> image = Pattern(frames * (nor ? 256 : 528), frames);
  if (nor && image.size() % nor::kPageSize == 0 && image.size() >= nor::kMinimumPages * nor::kPageSize)
    StoreNorValues(image.data(), image.size());
  for (std::size_t b = 0; !nor && b < image.size() / nand::kBlockSize; ++b) {
    std::uint8_t* block = &image[b * nand::kBlockSize];
    for (int p = 0; p < nand::kPagesPerBlock; ++p)
      WriteSpareArea(block + p * nand::kPageSize, p + 1, 0xC33 + static_cast<unsigned>(b), 0x31);
    StampBlockSum(block, 0xC33 + static_cast<unsigned>(b));
  }
  if (flip >= 0) image[static_cast<std::size_t>(flip)] ^= 0x01;
  return image;
}

// A window rig with a handheld that sends a backup of `frames` frames.
struct BackupRig : WindowRig {
  std::vector<std::uint8_t> image;
  BackupSender sender;
  QString target;

  BackupRig(BackupSender::Flash flash, int frames, int flip = -1)
      : image(FlashImage(flash, frames, flip)),
        sender(flash, image, 921600, 0x0C31),
        target(Path(flash == BackupSender::Flash::Nor ? "x.nor" : "x.nand")) {
    port.Attach(&sender);
    (flash == BackupSender::Flash::Nor ? form.OptionSaveNor : form.OptionSaveNand)->setChecked(true);
    form.files = {target};
    form.answers = {true};  // overwrite when the test put a file there
    form.show();
  }
  QString Temporary() const { return target + ".temp"; }
};

}  // namespace

class TransferWindowTests : public QObject {
  Q_OBJECT

 private slots:
  void windowIsLockedWhileABackupRuns_data();
  void windowIsLockedWhileABackupRuns();
  void startButtonOnlyAsksToCancel();
  void cancelConfirmedDuringABackup();
  void aBackupBrokenOffGoesOnWhereTheHandheldGoesOn();
  void aBackupEndedBrokenKeepsThePartialImagesName();
  void questionHidesTheCancelDialog();
  void repairLockLeavesTheTotalBar();
  void closingTheWindowWaitsForTheCancelEnding();
  void aCloseGoesWithTheQuestionItWaitedFor();
  void theStatusLineNeverWidensTheWindowAndGoesWithItsTask();
  void sessionEndDuringARepairTakesTheCancelEnding();
  void aTargetThatCannotBeWrittenIsRefusedBeforeThePortOpens_data();
  void aTargetThatCannotBeWrittenIsRefusedBeforeThePortOpens();
  void anInterruptionCancelsTheBackupAndEndsTheProgram();
  void theVerdictFollowsTheHashAndOnlyAnUnsoundImageAddsABox_data();
  void theVerdictFollowsTheHashAndOnlyAnUnsoundImageAddsABox();
};

void TransferWindowTests::windowIsLockedWhileABackupRuns_data() {
  QTest::addColumn<bool>("nand");
  QTest::newRow("NOR") << false;
  QTest::newRow("NAND") << true;
}

void TransferWindowTests::windowIsLockedWhileABackupRuns() {
  QFETCH(bool, nand);
  BackupRig rig(nand ? BackupSender::Flash::Nand : BackupSender::Flash::Nor, nand ? 32 : 768);
  std::vector<WindowState> seen;
  rig.form.onEvents = [&] {
    if (rig.sender.framesSent == 2 && seen.empty()) seen.push_back(StateOf(rig.form));
  };
  rig.form.CommandSatrt->click();

  QCOMPARE(seen.size(), size_t(1));
  const WindowState& during = seen[0];
  QVERIFY(during.transferRunning);
  QVERIFY(!during.exitEnabled);
  QVERIFY(!during.purposeEnabled);
  QVERIFY(!during.configEnabled);
  QVERIFY(!during.totalBarEnabled);
  QVERIFY(!during.totalLabelEnabled);
  QCOMPARE(during.start, U("取  消"));
  QCOMPARE(during.status, U("正在接收数据..."));
  QVERIFY(during.current >= 1);
  QCOMPARE(rig.form.ProgressBar1->maximum(), nand ? 32 : 128);

  VerifyIdle(rig.form, rig.target);
  QCOMPARE(rig.form.messages, std::vector<QString>({nand ? U("备份系统Nand成功!") : U("备份系统Nor成功!")}));
  const std::string trailer = nand ? std::string("\x33\x0C", 2) : std::string();
  QCOMPARE(ReadFile(rig.target), AsText(rig.image) + trailer);
  QVERIFY(!QFile::exists(rig.Temporary()));
  QVERIFY(!rig.port.isOpen);
  // The model chosen in the window set the line speed.
  QCOMPARE(rig.module.ModelBaud, 921600);
}

void TransferWindowTests::startButtonOnlyAsksToCancel() {
  BackupRig rig(BackupSender::Flash::Nor, 768);
  int clicks = 0;
  QString question;
  bool visible = false;
  rig.form.onEvents = [&] {
    if (rig.sender.framesSent != 1 || clicks > 0) return;
    ++clicks;
    rig.form.CommandSatrt->click();
    rig.form.CommandSatrt->click();  // a second click raises the same dialog
    FormCancel* dialog = rig.form.cancelDialog();
    QVERIFY(dialog);
    visible = dialog->isVisible() && !dialog->isModal();
    question = dialog->Label1->text();
    QCOMPARE(rig.form.findChildren<FormCancel*>().size(), qsizetype(1));
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);  // "否": go on
  };
  rig.form.CommandSatrt->click();

  QCOMPARE(clicks, 1);
  QVERIFY(visible);
  QCOMPARE(question, U("你确实要终止备份进程吗?"));
  // No second task: one file dialog, one port opening, and the backup finished.
  QCOMPARE(rig.form.fileRequests.size(), size_t(1));
  QCOMPARE(rig.port.opens, 1);
  QVERIFY(!rig.module.CancelFlag);
  QCOMPARE(rig.form.messages, std::vector<QString>({U("备份系统Nor成功!")}));
  QCOMPARE(ReadFile(rig.target), AsText(rig.image));
  VerifyIdle(rig.form, rig.target);
}

void TransferWindowTests::cancelConfirmedDuringABackup() {
  BackupRig rig(BackupSender::Flash::Nand, 6);
  WriteFile(rig.target, "previous backup");
  bool confirmed = false;
  rig.form.onEvents = [&] {
    if (rig.sender.framesSent != 2 || confirmed) return;
    confirmed = true;
    QVERIFY(QFile::exists(rig.Temporary()));
    rig.form.CommandSatrt->click();
    QTest::mouseClick(rig.form.cancelDialog()->Command1, Qt::LeftButton);  // "是"
  };
  rig.form.CommandSatrt->click();

  QVERIFY(confirmed);
  QCOMPARE(rig.sender.framesSent, 2);  // stopped at the next poll
  QVERIFY(rig.form.messages.empty());  // the cancel ending says nothing
  QCOMPARE(rig.form.questions.size(), size_t(1));  // only the overwrite question
  QVERIFY(!QFile::exists(rig.Temporary()));
  QCOMPARE(ReadFile(rig.target), std::string("previous backup"));
  QVERIFY(!rig.port.isOpen);
  VerifyIdle(rig.form);
}

void TransferWindowTests::aBackupBrokenOffGoesOnWhereTheHandheldGoesOn() {
  // A check error in the second block, "是", and a handheld that starts
  // again at that block: the blocks kept and the ones that follow are one image.
  BackupRig rig(BackupSender::Flash::Nand, 3 * 32);
  rig.sender.faults.badPayloadAt = 40;
  rig.sender.resume = true;
  QStringList statuses;
  rig.form.onEvents = [&] {
    if (statuses.isEmpty() || statuses.back() != rig.form.LabelStatus->line()) statuses << rig.form.LabelStatus->line();
  };
  rig.form.CommandSatrt->click();

  QCOMPARE(rig.form.questions.size(), size_t(1));
  QCOMPARE(rig.form.questions[0].text, U("您要重新开始备份吗?\n已收到逻辑块 C33h. 继续备份时, 文曲星应从第 C34h 块开始发送."));
  QCOMPARE(rig.form.messages, std::vector<QString>({U("接收数据时校验错2!"), U("备份系统Nand成功!")}));
  QCOMPARE(rig.sender.framesSent, 2 * 32);  // the second attempt sent the second and third blocks
  QCOMPARE(ReadFile(rig.target), AsText(rig.image) + std::string("\x33\x0C", 2));
  QVERIFY2(statuses.contains(U("正在接收数据... 从第 C34h 块继续 已收到 3 块 (C33h-C35h)")), qPrintable(statuses.join('|')));
  VerifyIdle(rig.form, rig.target);
}

void TransferWindowTests::aBackupEndedBrokenKeepsThePartialImagesName() {
  // "否": the box names the image of the kept block; once it is dismissed, the status line still does.
  BackupRig rig(BackupSender::Flash::Nand, 3 * 32);
  rig.sender.faults.badPayloadAt = 40;
  rig.form.answers = {false};
  rig.form.CommandSatrt->click();
  QCOMPARE(rig.form.LabelStatus->line(), U("已接收的块保存在 ") + rig.Path("x.partial.nand"));
}

void TransferWindowTests::questionHidesTheCancelDialog() {
  // The handheld falls silent while the cancel dialog is open but unanswered:
  // the time-out question hides the dialog, and the end of the backup unloads it.
  BackupRig rig(BackupSender::Flash::Nor, 768);
  rig.sender.faults.silentFrom = 2;
  rig.form.answers = {false};
  bool opened = false;
  std::vector<bool> visibleAtQuestion;
  rig.form.onEvents = [&] {
    if (rig.sender.framesSent == 1 && !opened) {
      opened = true;
      rig.form.CommandSatrt->click();
    }
  };
  rig.form.onDialog = [&](const QString&) {
    visibleAtQuestion.push_back(rig.form.cancelDialog() && rig.form.cancelDialog()->isVisible());
  };
  rig.form.CommandSatrt->click();

  QVERIFY(opened);
  QCOMPARE(rig.form.questions.size(), size_t(1));
  QCOMPARE(rig.form.questions[0].text, U("接收数据超时,您要重新开始备份吗?"));
  QCOMPARE(visibleAtQuestion, std::vector<bool>({false}));
  QVERIFY(!QFile::exists(rig.Temporary()));
  QVERIFY(!QFile::exists(rig.target));
  VerifyIdle(rig.form);
}

void TransferWindowTests::repairLockLeavesTheTotalBar() {
  WindowRig rig;
  rig.form.SetBarRange(Host::Bar::Total, 0, 10);
  rig.form.SetBarValue(Host::Bar::Total, 4);
  rig.form.LockForTransfer(Host::Task::Repair);
  QVERIFY(rig.form.ProgressBar2->isEnabled());
  QVERIFY(rig.form.Label10->isEnabled());
  QVERIFY(!rig.form.FramePurpose->isEnabled());
  QCOMPARE(rig.form.CommandSatrt->text(), U("取  消"));
  rig.form.SetBarRange(Host::Bar::Current, 0, 32);
  rig.form.SetBarValue(Host::Bar::Current, 40);  // kept inside the range
  QCOMPARE(rig.form.ProgressBar1->value(), 32);
  rig.form.RestoreAfterTransfer(Host::Task::Repair);
  QCOMPARE(rig.form.ProgressBar2->value(), 0);
  VerifyIdle(rig.form);
}

void TransferWindowTests::closingTheWindowWaitsForTheCancelEnding() {
  BackupRig rig(BackupSender::Flash::Nor, 6);
  WriteFile(rig.target, "previous backup");
  int step = 0;
  bool closedWhileRunning = true, stayedAfterNo = false;
  rig.form.onEvents = [&] {
    if (step == 0 && rig.sender.framesSent == 1) {
      step = 1;
      closedWhileRunning = rig.form.close();
      QVERIFY(rig.form.cancelDialog() && rig.form.cancelDialog()->isVisible());
      QTest::mouseClick(rig.form.cancelDialog()->Command2, Qt::LeftButton);  // "否"
    } else if (step == 1 && rig.sender.framesSent == 3) {
      step = 2;
      stayedAfterNo = rig.form.isVisible();
      rig.form.close();
      QTest::mouseClick(rig.form.cancelDialog()->Command1, Qt::LeftButton);  // "是"
    }
  };
  rig.form.CommandSatrt->click();

  QCOMPARE(step, 2);
  QVERIFY(!closedWhileRunning);
  QVERIFY(stayedAfterNo);
  QVERIFY(!QFile::exists(rig.Temporary()));
  QCOMPARE(ReadFile(rig.target), std::string("previous backup"));
  QVERIFY(!rig.port.isOpen);
  // The window goes once the transfer's click handler has returned.
  QTRY_VERIFY(!rig.form.isVisible());

  // Without a transfer, closing works at once.
  rig.form.show();
  QVERIFY(rig.form.close());
}

void TransferWindowTests::aCloseGoesWithTheQuestionItWaitedFor() {
  // Closed during a backup; before the cancel question is answered, the
  // time-out question hides it and Yes starts again: the window stays.
  BackupRig rig(BackupSender::Flash::Nor, 768);
  rig.sender.faults.silentFrom = 2;
  bool closed = false;
  rig.form.onEvents = [&] { closed = closed || (rig.sender.framesSent == 1 && !rig.form.close()); };
  rig.form.CommandSatrt->click();
  QVERIFY(closed);
  QCOMPARE(rig.form.messages, std::vector<QString>({U("备份系统Nor成功!")}));
  QTest::qWait(20);
  QVERIFY(rig.form.isVisible());
}

void TransferWindowTests::theStatusLineNeverWidensTheWindowAndGoesWithItsTask() {
  BackupRig rig(BackupSender::Flash::Nor, 2);
  QVERIFY(QDir().mkpath(rig.Path("backups/2024-06-01 handheld NC3000 before the repair")));
  rig.form.files = {rig.target = rig.Path("backups/2024-06-01 handheld NC3000 before the repair/nor flash.nor")};
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  const QSize before = rig.form.size();
  rig.form.CommandSatrt->click();
  QCoreApplication::processEvents();
  StatusLabel* status = rig.form.LabelStatus;
  QVERIFY(status->line().startsWith(rig.target + ": "));
  QCOMPARE(rig.form.size(), before);
  QVERIFY(status->text().contains(QChar(0x2026)));  // elided in the middle, whole in the tool tip
  QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->width());
  QCOMPARE(status->toolTip(), status->line());

  // The next task fails at once: its message stands under its own status line.
  rig.port.failOpen = true;
  rig.form.files = {rig.Path("y.nor")};
  rig.form.onDialog = [&](const QString&) { QCOMPARE(status->line(), U("等待开始...")); };
  rig.form.CommandSatrt->click();
  QCOMPARE(rig.form.messages.back(), U("串口打开失败!"));
}

void TransferWindowTests::sessionEndDuringARepairTakesTheCancelEnding() {
  WindowRig rig;
  RepairReceiver handheld(RepairReceiver::Flash::Nor);
  rig.port.Attach(&handheld);
  const QString image = rig.Path("x.nor");
  WriteFile(image, std::string(6 * 32768, '\x5A'));
  rig.module.ComPort = 1;
  rig.module.ImagePath = image.toStdString();
  rig.form.show();
  QVERIFY(!rig.form.HoldSessionEnd());  // nothing runs: the session may end

  QString question;
  bool held = false;
  rig.form.onEvents = [&] {
    if (question.isEmpty() && handheld.framesReceived == 5) {
      held = rig.form.HoldSessionEnd();
      question = rig.form.cancelDialog()->Label1->text();
      QTest::mouseClick(rig.form.cancelDialog()->Command1, Qt::LeftButton);  // "是"
    }
  };
  NorRepairOptions pageZero;
  pageZero.page00 = true;
  pageZero.pagesFrom02 = false;
  QCOMPARE(BackNor(rig.module, pageZero), RepairEnding::Cancel);

  QVERIFY(held);
  QCOMPARE(question, U("你确实要终止还原进程吗?\n这样可能导致文曲星系统严重损坏!"));
  QCOMPARE(handheld.framesReceived, 6);  // the go-ahead already in hand is used, then it ends at the next poll
  QVERIFY(!rig.port.isOpen);
  QTRY_VERIFY(!rig.form.isVisible());
}

void TransferWindowTests::theVerdictFollowsTheHashAndOnlyAnUnsoundImageAddsABox_data() {
  QTest::addColumn<bool>("nand");
  QTest::addColumn<int>("frames");
  QTest::addColumn<int>("flip");
  QTest::addColumn<QString>("verdict");
  QTest::addColumn<QString>("command");  // what the box suggests; none without a box
  QTest::newRow("NOR") << false << 768 << -1 << U("检查: 全部正确") << QString();
  QTest::newRow("NAND") << true << 32 << -1 << U("检查: 全部正确") << QString();
  QTest::newRow("NAND, a data bit") << true << 32 << 528 + 100 << U("检查: 可纠正的单位数据错误 1页")
                                    << U("corvane verify --repair");
  QTest::newRow("NOR, stale sum") << false << 768 << 5 << U("检查: NorCheckSum不符") << U("tolvar verify-nor");
  QTest::newRow("NOR, 3 frames") << false << 3 << -1 << U("检查: 无法检查 (文件长度为768字节,应为6到256个整页(每页32768字节))")
                                 << U("tolvar verify-nor");
  QTest::newRow("NAND, an ECC bit") << true << 32 << 512 + 7 << U("检查: 仅ECC字节有误 1页")
                                    << U("(tolvar verify-nand).");  // Corvane's copy would not change
}

void TransferWindowTests::theVerdictFollowsTheHashAndOnlyAnUnsoundImageAddsABox() {
  QFETCH(bool, nand);
  QFETCH(int, frames);
  QFETCH(int, flip);
  QFETCH(QString, verdict);
  QFETCH(QString, command);
  BackupRig rig(nand ? BackupSender::Flash::Nand : BackupSender::Flash::Nor, frames, flip);
  rig.form.CommandSatrt->click();

  const QString status = rig.form.LabelStatus->line();
  QVERIFY2(status.contains(U(" 字节, SHA-256 ")) && status.endsWith(U(", ") + verdict), qPrintable(status));
  const QString success = nand ? U("备份系统Nand成功!") : U("备份系统Nor成功!");
  QCOMPARE(rig.form.messages.size(), size_t(command.isEmpty() ? 1 : 2));
  QCOMPARE(rig.form.messages[0], success);
  const QString box = rig.form.messages.back();
  QVERIFY2(command.isEmpty() || (box.startsWith(U("检查发现映像有问题: ") + verdict.mid(4) + U(".\n")) && box.contains(command)),
           qPrintable(box));
}

QTEST_MAIN(TransferWindowTests)
#include "transfer_window_tests.moc"

void TransferWindowTests::aTargetThatCannotBeWrittenIsRefusedBeforeThePortOpens_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("said");
  QTest::newRow("FIFO") << "fifo" << U("是命名管道(FIFO)");
  QTest::newRow("folder") << "folder" << U("是文件夹");
  QTest::newRow("no folder") << "none" << U("不存在");
}

void TransferWindowTests::aTargetThatCannotBeWrittenIsRefusedBeforeThePortOpens() {
  QFETCH(QString, kind);
  QFETCH(QString, said);
  BackupRig rig(BackupSender::Flash::Nand, 32);
  QString refused = rig.Path("refused.nand");
  if (kind == "fifo") QVERIFY(mkfifo(refused.toUtf8().constData(), 0600) == 0);
  if (kind == "folder") QVERIFY(QDir().mkdir(refused));
  if (kind == "none") refused = rig.Path("none/x.nand");
  rig.form.files = {refused, rig.target};
  rig.form.CommandSatrt->click();

  // Refused with its reason, the dialog opens again, and the second name is backed up.
  QCOMPARE(rig.form.messages.size(), size_t(2));
  QVERIFY2(rig.form.messages[0].contains(said), qPrintable(rig.form.messages[0]));
  QCOMPARE(rig.form.fileRequests.size(), size_t(2));
  QVERIFY(rig.form.questions.empty());  // nothing asked about the refused name
  QCOMPARE(rig.port.opens, 1);
  QCOMPARE(rig.form.messages[1], U("备份系统Nand成功!"));
}

void TransferWindowTests::anInterruptionCancelsTheBackupAndEndsTheProgram() {
  BackupRig rig(BackupSender::Flash::Nand, 6);
  WriteFile(rig.target, "previous backup");
  CatchInterruptions();
  rig.form.onEvents = [&] {
    if (rig.sender.framesSent != 2 || Interrupted()) return;
    raise(SIGTERM);
    QTest::qWait(150);  // the window notices within a tenth of a second
  };
  rig.form.CommandSatrt->click();

  QCOMPARE(rig.sender.framesSent, 2);
  QVERIFY(rig.form.messages.empty());
  QVERIFY(!QFile::exists(rig.Temporary()));
  QCOMPARE(ReadFile(rig.target), std::string("previous backup"));
  QVERIFY(!rig.port.isOpen);
  QTRY_VERIFY(rig.form.endProgramCalls > 0);  // and then the program ends
  ForgetInterruption();
  std::signal(SIGTERM, SIG_DFL);
}
