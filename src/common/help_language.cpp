#include "common/help_language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "common/command_line_parser.h"

bool UseHelpInSystemLanguage() {
  const QString programFolder = QCoreApplication::applicationDirPath();
  return UseHelpIn(QLocale::system(), {programFolder + QStringLiteral("/translations"),
                                       programFolder + QStringLiteral("/../share/tolvar/translations")});
}

bool UseHelpIn(const QLocale& language, const QStringList& folders) {
  static QTranslator catalog;
  for (const QString& folder : folders) {
    if (!catalog.load(language, QStringLiteral("tolvar"), QStringLiteral("_"), folder)) continue;
    SetHelpTranslation([](const std::string& program, const std::string& text) {
      for (const std::string& context : {program, std::string("common")}) {
        const QString translated = catalog.translate(context.c_str(), text.c_str());
        if (!translated.isEmpty()) return translated.toStdString();
      }
      return text;
    });
    return true;
  }
  SetHelpTranslation({});
  return false;
}
