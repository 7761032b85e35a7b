#include "ui/status_label.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

#include "ui/widget_text.h"

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
  // Any width the layout gives; the text adapts to it, never the reverse.
  setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
  setTextFormat(Qt::PlainText);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void StatusLabel::setLine(const QString& line) {
  line_ = line;
  Elide();
}

void StatusLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void StatusLabel::Elide() {
  const QString shown = fontMetrics().elidedText(line_, Qt::ElideMiddle, contentsRect().width());
  setToolTip(shown == line_ ? QString() : line_);
  if (text() != shown) setText(shown);
}

void StatusLabel::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(Text("复制"), this, [this] { QApplication::clipboard()->setText(line_); });
  menu.exec(event->globalPos());
}
