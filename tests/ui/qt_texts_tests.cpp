// Qt's own texts under the windows' Chinese ones: the question box of the main
// window, before and after Qt's Chinese translation is loaded.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "common/qt_chinese.h"
#include "ui/form_main.h"

namespace {

class QuestionForm : public FormMain {
 public:
  using FormMain::AskQuestion;
};

// Asks the main window's real question and answers No once it shows,
// returning the texts of its buttons.
QStringList ButtonsOfTheQuestionBox() {
  QuestionForm form;
  QStringList texts;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton* button : box->buttons()) texts << button->text();
    box->button(QMessageBox::No)->click();
  });
  form.AskQuestion(QStringLiteral("文件已存在,要覆盖吗？"), true);
  texts.sort();
  return texts;
}

}  // namespace

class QtTextsTests : public QObject {
  Q_OBJECT

 private slots:
  // Order matters: a translation once installed stays for the run.
  void withoutTheTranslationQtsEnglishTextsRemain() {
    QTemporaryDir empty;
    const QLocale before;
    QCOMPARE(LoadQtChinese(*qApp, {QStringLiteral("qtbase")}, {empty.path()}), 0);
    QCOMPARE(ButtonsOfTheQuestionBox(), (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
    QCOMPARE(QLocale(), before);
  }

  // The default locale follows, for what Qt formats itself (a file dialog's sizes and dates).
  void questionButtonsReadInChineseWithTheTranslation() {
    QCOMPARE(LoadQtChinese(*qApp, {QStringLiteral("qtbase"), QStringLiteral("no-such-catalog")}), 1);
    QCOMPARE(QLocale(), QLocale(QLocale::Chinese, QLocale::China));
    const QStringList texts = ButtonsOfTheQuestionBox();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.filter(QStringLiteral("是")).size() == 1 && texts.filter(QStringLiteral("否")).size() == 1,
             qPrintable(texts.join(QLatin1Char(' '))));
    QVERIFY(texts.filter(QStringLiteral("Yes")).isEmpty() && texts.filter(QStringLiteral("No")).isEmpty());
  }
};

QTEST_MAIN(QtTextsTests)
#include "qt_texts_tests.moc"
