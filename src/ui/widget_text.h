#pragma once
#include <QObject>
#include <QString>
#include <string>

// Engine texts are UTF-8 and break lines with CR LF; the two file-rejection
// messages of the repair dialogs put the LF first. Widgets break lines with LF alone: a CR left in is drawn
// as a second line break (an empty line) or a stray glyph.
inline QString WidgetText(const std::string& utf8) {
  QString text = QString::fromStdString(utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  return text;
}

// A fixed UTF-8 text of the windows.
inline QString Text(const char* utf8) { return QString::fromUtf8(utf8); }
