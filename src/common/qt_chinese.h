#pragma once
#include <QStringList>

class QCoreApplication;

// Qt's own texts (message-box buttons, file dialogs, context menus) in
// Simplified Chinese, like every text of the programs, whatever the system's
// locale. Each catalog ("qtbase", "qtserialport") is looked for beside the
// program (in translations/, then the program's folder), then in Qt's own
// translations folder. A catalog that is missing leaves Qt's English texts.
// Once one is loaded, the default locale is Chinese too, so that what Qt
// formats itself (a file dialog's sizes and dates, a file type's name) reads
// alike; the programs' own texts never go through a locale.
// Returns how many catalogs were loaded.
int LoadQtChinese(QCoreApplication& app, const QStringList& catalogs);

// The same, looking only in the given folders.
int LoadQtChinese(QCoreApplication& app, const QStringList& catalogs, const QStringList& folders);
