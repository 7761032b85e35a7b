// Tolvar's window against the handheld-sim program's device (offscreen): the
// newcomer's first run on "com1", wired through TOLVAR_COM1, and a backup
// over a paced line that must start over.
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cstdlib>

#include "emulated_flash.h"
#include "link/qt_serial_io.h"
#include "processes.h"
#include "ui/test_form.h"

class WindowWithSimTests : public QObject {
  Q_OBJECT

 private slots:
  void nandBackupFromTheWindowCompletes() {
    QTemporaryDir folder;
    const QString link = folder.filePath("com1");
    SimProcess sim(HANDHELD_SIM_PROGRAM, {"--link", link.toStdString(), "--offer", "nand"},
                   folder.filePath("sim.log").toStdString());
    QVERIFY(sim.Ok());
    qputenv("TOLVAR_COM1", link.toLocal8Bit());

    QtSerialIo io;
    SystemTickClock clock;
    TestForm form;
    Module1 module(io, clock, form);
    form.SetModule(&module);
    form.show();
    QCOMPARE(form.ComboCom->currentText(), U("com1"));
    form.OptionSaveNand->setChecked(true);
    const QString target = folder.filePath("first.nand");
    form.files = {target};
    form.CommandSatrt->click();  // runs the whole backup
    form.SetModule(nullptr);
    qunsetenv("TOLVAR_COM1");

    QCOMPARE(form.messages.size(), std::size_t{1});
    QCOMPARE(form.messages.front(), U("备份系统Nand成功!"));
    std::vector<std::uint8_t> expected = EmulatedFlash::Generated(8, 4, 2).NandImage();
    expected.push_back(0x02);
    expected.push_back(0x00);
    const std::string saved = ReadFile(target);
    QVERIFY(saved == std::string(expected.begin(), expected.end()));
    QCOMPARE(sim.Stop(), 0);
    QVERIFY2(!QFileInfo::exists(link), "handheld-sim removes its link at exit");
  }

  // The device typed as a path, a paced line through an adapter's latency,
  // and one bit flipped on the way: the check error, then a restart the user
  // asked for, which brings the whole image.
  void flippedBitEndsInACheckErrorAndTheRestartSucceeds() {
    QTemporaryDir folder;
    SimProcess sim(HANDHELD_SIM_PROGRAM, {"--line-rate", "--latency", "1", "--flip", "70", "--offer", "nand"},
                   folder.filePath("sim.log").toStdString());
    QVERIFY(sim.Ok());
    QtSerialIo io;
    SystemTickClock clock;
    TestForm form;
    Module1 module(io, clock, form);
    form.SetModule(&module);
    form.ComboCom->setEditText(QString::fromStdString(sim.device));
    form.OptionSaveNand->setChecked(true);
    const QString target = folder.filePath("restarted.nand");
    form.files = {target};
    form.answers = {true};  // "您要重新开始备份吗?"
    form.CommandSatrt->click();
    form.SetModule(nullptr);

    QCOMPARE(form.messages, std::vector<QString>({U("接收数据时校验错2!"), U("备份系统Nand成功!")}));
    QCOMPARE(form.questions.size(), std::size_t{1});
    std::vector<std::uint8_t> expected = EmulatedFlash::Generated(8, 4, 2).NandImage();
    expected.insert(expected.end(), {0x02, 0x00});
    const std::string saved = ReadFile(target);
    QVERIFY(saved == std::string(expected.begin(), expected.end()));
  }
};

QTEST_MAIN(WindowWithSimTests)
#include "window_with_sim_tests.moc"
