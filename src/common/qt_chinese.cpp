#include "common/qt_chinese.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int LoadQtChinese(QCoreApplication& app, const QStringList& catalogs) {
  const QString programFolder = QCoreApplication::applicationDirPath();
  return LoadQtChinese(app, catalogs,
                       {programFolder + QStringLiteral("/translations"), programFolder,
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
}

int LoadQtChinese(QCoreApplication& app, const QStringList& catalogs, const QStringList& folders) {
  int loaded = 0;
  for (const QString& catalog : catalogs) {
    for (const QString& folder : folders) {
      if (folder.isEmpty()) continue;
      // The exact file only: QTranslator would fall back to other languages' names.
      const QString file = QDir(folder).filePath(catalog + QStringLiteral("_zh_CN.qm"));
      if (!QFileInfo::exists(file)) continue;
      auto* translator = new QTranslator(&app);
      if (translator->load(file) && QCoreApplication::installTranslator(translator)) {
        ++loaded;
        break;
      }
      delete translator;
    }
  }
  if (loaded > 0) QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  return loaded;
}
