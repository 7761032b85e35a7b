#pragma once
#include <QLabel>
#include <QString>

class QContextMenuEvent;
class QResizeEvent;

// The main window's status line. A line can be longer than the window is wide
// (a backup's path, size and SHA-256): it is shown elided in the middle to the
// label's width, whole in the tool tip, and never asks the window for more
// room. The shown text can be selected with the mouse; the context menu
// copies the whole line.
class StatusLabel : public QLabel {
  Q_OBJECT

 public:
  explicit StatusLabel(QWidget* parent = nullptr);

  void setLine(const QString& line);
  QString line() const { return line_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Elide();

  QString line_;
};
