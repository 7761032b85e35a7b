#pragma once
#include <QLocale>
#include <QStringList>

// The command lines' help in the system's language: when Qt's catalog of our
// own texts (tolvar_LANGUAGE.qm, made by lrelease from translations/*.ts)
// matches the user's interface languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG;
// on Windows the display language), ParseCommandLine shows the help through
// it; otherwise the help stays English. The catalog is looked for beside the
// program (in translations/), then where the package puts it
// (../share/tolvar/translations). Needs the QCoreApplication to exist.
// Returns whether a catalog was loaded.
bool UseHelpInSystemLanguage();

// The same for the languages of `language`, looking only in `folders`. A
// text is looked up under the program's name, then under "common". Without a
// catalog for them the help is English.
bool UseHelpIn(const QLocale& language, const QStringList& folders);
