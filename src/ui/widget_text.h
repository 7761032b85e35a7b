#pragma once
#include <QString>
#include <string>

// Engine texts are UTF-8 and break lines with CR LF, as the handheld tools'
// messages always did. Widgets break lines with LF alone; a lone CR would be
// drawn as a stray glyph.
inline QString WidgetText(const std::string& utf8) {
  QString text = QString::fromStdString(utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}
