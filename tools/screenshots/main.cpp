// screenshots: the pictures of the user guide (docs/使用说明.md), taken from
// the real windows of Tolvar and Corvane on the offscreen platform, with
// build/handheld-sim playing the handheld on com1. scripts/screenshots.sh
// runs it.
//   screenshots FOLDER
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>

#include "common/qt_chinese.h"
#include "converter/form1.h"
#include "director.h"
#include "link/qt_serial_io.h"
#include "ui/form_about.h"
#include "ui/form_back_nand.h"
#include "ui/form_back_nor.h"
#include "ui/form_cancel.h"
#include "ui/tolvar_app.h"

namespace {

// The font the package depends on (fonts-noto-cjk), for every text.
const char* const kFont = "Noto Sans CJK SC";

// What the port list shows besides com1 to com8: an adapter as Windows
// names it.
std::vector<PresentPort> StagedPorts() { return {{"com3", "COM3", "USB-SERIAL CH340", 0x1A86, 0x7523}}; }

// A device that is not there, for the port that cannot be opened.
QString MissingDevice() {
  for (int n = 1;; ++n)
    if (const QString device = QStringLiteral("/dev/ttyUSB%1").arg(n); !QFile::exists(device)) return device;
}

QString U(const char* text) { return QString::fromUtf8(text); }

// Everything the guide shows of Tolvar, one scene after the other.
class TolvarScenes {
 public:
  TolvarScenes(Director& d, Handheld& handheld, FormMain& form, const QTemporaryDir& files)
      : d(d), handheld(handheld), form(form), files(files) {}

  void Play() {
    StartAndPorts();
    PortRefused();
    PortFailure();
    NorBackup();
    NandBackupWithCancelDialog();
    CheckErrorKeepsBlocks();
    BackupContinued();
    BackupNotSound();
    NorRepairWithCancelDialog();
    NandRepair();
    NandRepairStopped();
    FileError();
    About();
  }

 private:
  Director& d;
  Handheld& handheld;
  FormMain& form;
  const QTemporaryDir& files;

  QString At(const char* name) const { return files.filePath(U(name)); }
  void Sim(const QStringList& options) {
    d.Do("handheld-sim " + options.join(' '), [this, options] {
      if (!handheld.Start(options)) d.Fail("handheld-sim did not start");
    });
  }
  // Chooses the purpose and presses "开始通信"; the transfer blocks there.
  void Start(QRadioButton* purpose) {
    d.Do("start " + purpose->text(), [this, purpose] {
      purpose->setChecked(true);
      form.CommandSatrt->click();
    });
  }
  void WhenStatus(const char* status, const QString& picture) {
    d.When(U("status ") + U(status), [this, status] { return form.LabelStatus->line().contains(U(status)); },
           [this, picture] { d.Shoot(&form, picture); });
  }
  // The status line counts whole blocks or pages: "已收到 1 块".
  bool Counted(const char* count) const { return form.LabelStatus->line().contains(U("已收到 ") + U(count)); }
  // The current bar past `value`, and not yet full: the next frame would start it again.
  bool PartWay(int value) const {
    return form.ProgressBar1->value() >= value && form.ProgressBar1->value() < form.ProgressBar1->maximum();
  }
  void WhenIdle() {
    d.When("the window back at rest", [this] { return !form.transferRunning() && !QApplication::activeModalWidget(); });
  }
  template <typename Dialog>
  void WhenShown(const QString& what, std::function<void(Dialog*)> act) {
    d.When(what, [this] { return Shown<Dialog>() != nullptr; }, [this, act] { act(Shown<Dialog>()); });
  }
  template <typename Dialog>
  Dialog* Shown() const {
    for (Dialog* dialog : form.findChildren<Dialog*>())
      if (dialog->isVisible()) return dialog;
    return nullptr;
  }
  // Pressing "取  消" during a transfer, and "否" in the dialog it opens.
  void CancelDialogAnsweredNo(const QString& picture) {
    d.Do("press 取  消", [this] { form.CommandSatrt->click(); });
    WhenShown<FormCancel>("the cancel dialog", [this, picture](FormCancel* dialog) {
      d.Shoot(dialog, picture);
      dialog->Command2->click();
    });
  }

  void StartAndPorts() {
    d.Do("the window at start", [this] { d.Shoot(&form, "tolvar-main"); });
    d.Do("the port list", [this] {
      form.ComboCom->showPopup();
      d.Shoot(&form, "tolvar-ports", {form.ComboCom->view()->window()});
      form.ComboCom->hidePopup();
    });
  }

  void PortRefused() {
    d.Do("comx", [this] { form.ComboCom->setEditText(QStringLiteral("comx")); });
    Start(form.OptionSaveNor);
    d.Box(U("不是串口"), "port-refused", QMessageBox::Ok);
    WhenIdle();
  }

  void PortFailure() {
    d.Do("com2", [this] { form.ComboCom->setEditText(QStringLiteral("com2")); });
    Start(form.OptionSaveNor);
    d.File(At("nc3000.nor"));
    d.Box(U("串口打开失败!"), "port-failure", QMessageBox::Ok);
    WhenIdle();
    d.Do("com1", [this] { form.ComboCom->setEditText(QStringLiteral("com1")); });
  }

  void NorBackup() {
    Sim({"--offer", "nor", "--manual", "--stall-at", "178", "--stall-ms", "1000"});
    Start(form.OptionSaveNor);
    d.File(At("nc3000.nor"));
    d.When("waiting for the handheld", [this] { return form.LabelStatus->line() == U("正在与文曲星连接..."); },
           [this] {
             d.Shoot(&form, "nor-backup-waiting");
             handheld.PressEnter();
           });
    d.When("the second NOR page part-way", [this] { return Counted("1 页") && PartWay(40); },
           [this] { d.Shoot(&form, "nor-backup-running"); });
    d.Box(U("备份系统Nor成功!"), "nor-backup-done", QMessageBox::Ok);
    WhenStatus("SHA-256", "nor-backup-summary");
    WhenIdle();
  }

  void NandBackupWithCancelDialog() {
    d.Do("an earlier NAND image", [this] {
      QFile earlier(At("nc3000.nand"));
      if (!earlier.open(QIODevice::WriteOnly) || earlier.write("earlier") != 7) d.Fail("cannot write " + At("nc3000.nand"));
    });
    Sim({"--offer", "nand", "--stall-at", "44", "--stall-ms", "1500"});
    Start(form.OptionSaveNand);
    d.File(At("nc3000.nand"));
    d.Box(U("文件已存在,要覆盖吗？"), "overwrite-question", QMessageBox::Yes);
    d.When("the second NAND block part-way", [this] { return Counted("1 块") && PartWay(10); },
           [this] { d.Shoot(&form, "nand-backup-running"); });
    CancelDialogAnsweredNo("cancel-backup");
    d.Box(U("备份系统Nand成功!"), "nand-backup-done", QMessageBox::Ok);
    WhenIdle();
  }

  // A check error in the third block, answered No: the first two are kept
  // as second.partial.nand.
  void CheckErrorKeepsBlocks() {
    Sim({"--offer", "nand", "--bad-payload", "70"});
    Start(form.OptionSaveNand);
    d.File(At("second.nand"));
    d.Box(U("接收数据时校验错2!"), "check-error", QMessageBox::Ok);
    d.Box(U("您要重新开始备份吗?"), "", QMessageBox::No);
    d.Box(U("已接收的 2 块保存在"), "nand-backup-partial", QMessageBox::Ok);
    WhenIdle();
  }

  // A check error in the fourth block, answered Yes: the handheld goes on
  // at that block, paced as on a real line so that the window can be seen.
  void BackupContinued() {
    Sim({"--offer", "nand", "--nand-blocks", "8", "--resume", "--line-rate", "--bad-payload", "100"});
    Start(form.OptionSaveNand);
    d.File(At("third.nand"));
    d.Box(U("接收数据时校验错2!"), "", QMessageBox::Ok);
    d.Box(U("您要重新开始备份吗?"), "restart-question", QMessageBox::Yes);
    d.When("a continued block part-way",
           [this] { return form.LabelStatus->line().contains(U("块继续")) && PartWay(10); },
           [this] { d.Shoot(&form, "nand-backup-continued"); });
    d.Box(U("备份系统Nand成功!"), "", QMessageBox::Ok);
    WhenIdle();
  }

  // A handheld whose flash holds a page with one wrong data bit.
  void BackupNotSound() {
    d.Do("a worn flash", [this] {
      QFile image(At("nc3000.nand")), flash(At("worn-flash.nand"));
      QByteArray bytes = image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray();
      if (bytes.size() < 512) d.Fail("cannot read " + image.fileName());
      bytes[100] = static_cast<char>(bytes[100] ^ 0x10);  // a data bit of the first page
      if (!flash.open(QIODevice::WriteOnly) || flash.write(bytes) != bytes.size()) d.Fail("cannot write " + flash.fileName());
    });
    Sim({"--offer", "nand", "--nand", At("worn-flash.nand")});
    Start(form.OptionSaveNand);
    d.File(At("worn.nand"));
    d.Box(U("备份系统Nand成功!"), "", QMessageBox::Ok);
    d.Box(U("检查发现映像有问题"), "backup-not-sound", QMessageBox::Ok);
    WhenIdle();
  }

  // A NOR frame's go-ahead may take 100 ticks (about 1.5 s): the handheld
  // pauses for less, while the cancel dialog is taken.
  void NorRepairWithCancelDialog() {
    Sim({"--stall-at", "300", "--stall-ms", "1000"});
    Start(form.OptionBackNor);
    d.File(At("nc3000.nor"));
    WhenShown<FormBackNor>("the NOR repair options", [this](FormBackNor* dialog) {
      d.Shoot(dialog, "nor-repair-options");
      dialog->Command1->click();  // the repair runs here
    });
    d.Box(U("点击确定后,立刻按下文曲星端reset."), "nor-repair-reset", QMessageBox::Ok);
    d.When("NOR pages part-way", [this] { return form.ProgressBar2->value() >= 3; },
           [this] { d.Shoot(&form, "nor-repair-running"); });
    CancelDialogAnsweredNo("cancel-repair");
    d.Box(U("恭喜，已成功修复！"), "repair-done", QMessageBox::Ok);
    WhenIdle();
  }

  // A NAND frame's go-ahead may take 60 ticks (about 0.9 s): the handheld
  // pauses for less.
  void NandRepair() {
    Sim({"--stall-at", "40", "--stall-ms", "300"});
    Start(form.OptionBackNand);
    d.File(At("nc3000.nand"));
    WhenShown<FormBackNand>("the NAND repair options", [this](FormBackNand* dialog) {
      dialog->Option2->setChecked(true);
      dialog->Text1->setText(QStringLiteral("2"));
      dialog->Text2->setText(QStringLiteral("3"));
      d.Shoot(dialog, "nand-repair-options");
      dialog->Command1->click();
    });
    d.Box(U("修复 2到 3块"), "nand-repair-reset", QMessageBox::Ok);
    WhenStatus("已修复第 2块", "nand-repair-running");
    d.Box(U("恭喜，已成功修复！"), "", QMessageBox::Ok);
    WhenIdle();
  }

  // The handheld reports a check error in the second block.
  void NandRepairStopped() {
    Sim({"--nak-at", "40"});
    Start(form.OptionBackNand);
    d.File(At("nc3000.nand"));
    WhenShown<FormBackNand>("the NAND repair options", [](FormBackNand* dialog) { dialog->Command1->click(); });
    d.Box(U("修复 1到 4块"), "", QMessageBox::Ok);
    d.Box(U("文曲星端校验错!"), "", QMessageBox::Ok);
    d.Box(U("第 2 块起未经文曲星确认"), "", QMessageBox::Ok);
    WhenStatus("请再修复", "nand-repair-stopped");
    WhenIdle();
  }

  void FileError() {
    d.Do("a NAND image cut short", [this] {
      QFile cut(At("cut.nand"));
      if (!cut.open(QIODevice::WriteOnly) || cut.write(QByteArray(1000, '\xff')) != 1000) d.Fail("cannot write cut.nand");
    });
    Start(form.OptionBackNand);
    d.File(At("cut.nand"));
    d.Box(U("文件错误!"), "file-error", QMessageBox::Ok);
    d.CancelFile();  // the file dialog comes back for another choice
    WhenIdle();
  }

  void About() {
    d.Do("关  于", [this] { form.CommandAbout->click(); });
    d.When("the About box", [this] { return form.aboutDialog() && form.aboutDialog()->isVisible(); },
           [this] {
             d.Shoot(form.aboutDialog(), "about");
             form.aboutDialog()->close();
           });
  }
};

// Corvane both ways: a NAND image into a data file, and that back; then a
// backup whose page carries one wrong data bit.
void CorvaneScenes(Director& d, Form1& window, const QTemporaryDir& files) {
  const auto at = [&files](const char* name) { return files.filePath(U(name)); };
  // The direction, then both files through their "..." buttons.
  const auto choose = [&](QRadioButton* direction, const char* source, const char* target) {
    d.Do(direction->text(), [direction, &window] {
      direction->click();
      window.CommandOpen->click();
    });
    d.File(at(source));
    d.Do("the target", [&window] { window.CommandSave->click(); });
    d.File(at(target));
  };
  d.Do("Corvane", [&window] { window.show(); });
  choose(window.OptionN2D, "nc3000.nand", "nc3000.dat");
  d.Do("convert", [&d, &window] {
    d.Shoot(&window, "corvane-nand2data");
    window.CommandChange->click();
  });
  d.Box(U("文件对应的开始逻辑块号为2h,转换?"), "corvane-start-block", QMessageBox::Yes);
  d.Box(U("转换成功!"), "corvane-done", QMessageBox::Ok);

  choose(window.OptionD2N, "nc3000.dat", "nc3000.nand");
  d.Do("convert back", [&d, &window] {
    window.TextBlockNum->setText(QStringLiteral("2"));
    d.Shoot(&window, "corvane-data2nand");
    window.CommandChange->click();
  });
  d.Box(U("文件已存在,要覆盖吗?"), "corvane-overwrite", QMessageBox::Yes);
  d.Box(U("转换成功!"), "", QMessageBox::Ok);

  choose(window.OptionN2D, "worn.nand", "worn.dat");
  d.Do("convert", [&window] { window.CommandChange->click(); });
  d.Box(U("转换?"), "", QMessageBox::Yes);
  d.Box(U("转换成功!"), "", QMessageBox::Ok);
  d.Box(U("一位错误"), "corvane-bit-warning", QMessageBox::Ok);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshots FOLDER\n");
    return 2;
  }
  if (!QFontDatabase::families().contains(QString::fromLatin1(kFont))) {
    std::fprintf(stderr, "screenshots: the font %s is missing (Debian's fonts-noto-cjk)\n", kFont);
    return 1;
  }
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(QFont(QString::fromLatin1(kFont), 10));
  LoadQtChinese(app, {QStringLiteral("qtbase"), QStringLiteral("qtserialport")});

  QTemporaryDir files(QDir::tempPath() + QStringLiteral("/文曲星备份-XXXXXX"));
  const QString link = files.filePath(QStringLiteral("com1"));
  qputenv("TOLVAR_COM1", link.toLocal8Bit());
  qputenv("TOLVAR_COM2", MissingDevice().toLocal8Bit());
  Handheld handheld(QApplication::applicationDirPath() + QStringLiteral("/handheld-sim"), link);

  Director director(QString::fromLocal8Bit(argv[1]));
  director.onFailure = [&handheld] { handheld.Stop(); };
  QtSerialIo io;
  TolvarWindow tolvar(io, StagedPorts);
  tolvar.form.show();
  TolvarScenes scenes(director, handheld, tolvar.form, files);
  scenes.Play();
  director.Do("the handheld put away", [&handheld] { handheld.Stop(); });
  Form1 corvane;
  CorvaneScenes(director, corvane, files);
  return director.Run();
}
