#pragma once
#include <QLabel>

// A label that reports clicks (the About box's web address and its caption).
class ClickableLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};
