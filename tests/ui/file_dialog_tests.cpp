// The file dialog both programs show (Qt's own, as on Linux): the extension a
// new name gets, what "所有文件 (*.*)" lists, and its columns in Chinese.
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QScreen>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <functional>

#include "common/file_dialog.h"

namespace {

const QString kNand = QStringLiteral("Nand文件 (*.nand);;所有文件 (*.*)");

// Shows ChooseFileName on `folder` and hands its dialog to `steer` once it is
// open; a dialog `steer` leaves open is cancelled. Returns the chosen name.
QString Choose(const QString& kind, const QString& folder, const QString& filter,
               const std::function<void(QFileDialog&)>& steer) {
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    steer(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  // Tolvar's backup ("save"), Corvane's target ("target"), Tolvar's repair ("open").
  return ChooseFileName(nullptr, QString(), folder, filter,
                        kind == "save" ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen,
                        kind == "open" ? QFileDialog::ExistingFile : QFileDialog::AnyFile,
                        QFileDialog::DontConfirmOverwrite);
}

// Selects the next (Key_Down) or previous (Key_Up) filter the way a user does.
void SelectFilter(QFileDialog& dialog, Qt::Key key) {
  QTest::keyClick(dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")), key);
}

// The rows the dialog lists, sorted, once it has listed them: name, size,
// type and date, joined with "|".
QStringList Rows(QFileDialog& dialog) {
  const QTreeView* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  const QAbstractItemModel* model = view->model();
  for (QDeadlineTimer deadline(5000); model->rowCount(view->rootIndex()) == 0 && !deadline.hasExpired();)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  // Time for the sizes and types, which Qt fetches in the background.
  for (QDeadlineTimer settle(200); !settle.hasExpired();) QApplication::processEvents(QEventLoop::AllEvents, 10);
  QStringList rows;
  for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
    QStringList texts;
    for (int column = 0; column < 4; ++column) texts << model->index(row, column, view->rootIndex()).data().toString();
    rows << texts.join(u'|');
  }
  rows.sort();
  return rows;
}

QStringList Names(const QStringList& rows) {
  QStringList names;
  for (const QString& row : rows) names << row.section(u'|', 0, 0);
  return names;
}

}  // namespace

class FileDialogTests : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;

 private slots:
  void initTestCase() {
    QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("sub")));
    for (const char* name : {"noext", "x.nand", "a.txt"}) {
      QFile file(folder_.filePath(QString::fromUtf8(name)));
      QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abcd") == 4);
    }
  }

  void typedNameGetsTheSelectedFiltersExtension_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("allFiles");  // the second filter selected after typing
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("nand backup") << "save" << kNand << false << "noext" << "noext.nand";
    QTest::newRow("nor backup") << "save" << QStringLiteral("Nor文件 (*.nor);;所有文件 (*.*)") << false << "x" << "x.nor";
    QTest::newRow("own extension") << "save" << kNand << false << "z.bak" << "z.bak";
    QTest::newRow("all files") << "save" << kNand << true << "noext" << "noext";
    QTest::newRow("all files, typed x.nand") << "save" << kNand << true << "z.nand" << "z.nand";  // not z.*
    QTest::newRow("data target") << "target" << QStringLiteral("Data文件 (*.dat);;所有文件 (*.*)") << false << "y" << "y.dat";
    QTest::newRow("repair file as named") << "open" << kNand << false << "noext" << "noext";
  }
  void typedNameGetsTheSelectedFiltersExtension() {
    QFETCH(QString, kind);
    QFETCH(QString, filter);
    QFETCH(bool, allFiles);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    const QString got = Choose(kind, folder_.path(), filter, [&](QFileDialog& dialog) {
      QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), typed);
      if (allFiles) SelectFilter(dialog, Qt::Key_Down);
      QMetaObject::invokeMethod(&dialog, "accept");
    });
    QCOMPARE(got, folder_.filePath(chosen));
  }

  // "*.*" lists every file, as on Windows, under the same filter text; sizes,
  // types and dates read in the default locale, which the programs make Chinese.
  void allFilesAndColumnsInChinese() {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QStringList filters, nand, all, back;
    Choose("save", folder_.path(), kNand, [&](QFileDialog& dialog) {
      nand = Rows(dialog);
      SelectFilter(dialog, Qt::Key_Down);
      all = Names(Rows(dialog));
      SelectFilter(dialog, Qt::Key_Up);
      back = Names(Rows(dialog));
      filters = dialog.nameFilters();
    });
    QLocale::setDefault(QLocale::system());
    QCOMPARE(Names(nand), QStringList({"sub", "x.nand"}));
    QCOMPARE(all, QStringList({"a.txt", "noext", "sub", "x.nand"}));
    QCOMPARE(back, Names(nand));
    QCOMPARE(filters, QStringList({QStringLiteral("Nand文件 (*.nand)"), QStringLiteral("所有文件 (*.*)")}));
    QVERIFY2(nand[0].startsWith(QStringLiteral("sub||文件夹|")) && nand[1].startsWith(QStringLiteral("x.nand|4 字节|")),
             qPrintable(nand.join(u' ')));
    for (const QString& row : nand) {
      QVERIFY2(!row.section(u'|', 1).contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(row));
      QVERIFY2(!row.endsWith(u'|'), qPrintable(row));  // a date
    }
  }

  // The dialogs lie on the screen, also on a small one at a
  // large scale (CTest runs this at QT_SCALE_FACTOR=2 on 1280x800: 640x400).
  void fitOnTheScreen() {
    for (const char* kind : {"save", "open"}) {
      QRect screen, frame;  // the buttons lie within the frame
      Choose(kind, folder_.path(), kNand, [&](QFileDialog& dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        screen = dialog.screen()->availableGeometry();
        frame = dialog.frameGeometry();
      });
      QVERIFY2(screen.contains(frame), kind);
    }
  }
};

QTEST_MAIN(FileDialogTests)
#include "file_dialog_tests.moc"
