// Qt's own texts under the windows' Chinese ones: the question box of the main
// window, before and after Qt's Chinese translation is loaded; and the
// command lines' help from our own catalog.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <sstream>

#include "common/command_line_parser.h"
#include "common/help_language.h"
#include "common/qt_chinese.h"
#include "ui/form_main.h"

namespace {

class QuestionForm : public FormMain {
 public:
  using FormMain::AskQuestion;
};

// Asks the main window's real question and answers No once it shows,
// returning the texts of its buttons.
// The description of `program`'s one verb whose English is `text`, as its help shows it.
QString HelpOf(const char* program, const char* text) {
  CLI::App app("", program);
  app.add_subcommand("verb", text);
  std::ostringstream out, err;
  ParseCommandLine(app, {"--help"}, out, err);
  const std::string help = out.str();
  const std::size_t from = help.find("verb") + 4;
  return QString::fromStdString(help.substr(from, help.find('\n', from) - from)).trimmed();
}

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

  // A text is the program's own first, then the one all programs share; the
  // catalog serves only the languages it is for.
  void helpComesFromTheCatalogOfTheLanguage() {
    const QStringList folders{QStringLiteral(HELP_CATALOG_FOLDER)};
    const struct {
      const char *language, *program, *english, *shown;
    } cases[] = {
        {"zh_CN", "corvane", "the NAND image to write (.nand)", "要生成的 Nand 映像 (.nand)"},
        {"zh_CN", "tolvar", "the NAND image to write (.nand)", "Nand 映像文件 (.nand)"},
        {"zh_CN", "handheld-sim", "print the version and exit", "显示版本号并退出"},
        {"zh_CN", "tolvar", "a text nobody translated", "a text nobody translated"},
        {"en_US", "tolvar", "the NAND image to write (.nand)", "the NAND image to write (.nand)"},
        {"de_DE", "corvane", "print the version and exit", "print the version and exit"},
    };
    for (const auto& c : cases) {
      QCOMPARE(UseHelpIn(QLocale(QString::fromLatin1(c.language)), folders), c.language == std::string("zh_CN"));
      QCOMPARE(HelpOf(c.program, c.english), QString::fromUtf8(c.shown));
    }
    SetHelpTranslation({});
  }
};

QTEST_MAIN(QtTextsTests)
#include "qt_texts_tests.moc"
