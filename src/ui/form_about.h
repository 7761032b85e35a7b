#pragma once
#include <QDialog>
#include <QLabel>
#include <QUrl>

class QPushButton;

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

// The About box: program title and version date, the contact lines, and the
// project's web address, which opens in the system's browser when the address
// or its "blog:" caption is clicked. Modeless; "确定" unloads it.
class FormAbout : public QDialog {
  Q_OBJECT

 public:
  explicit FormAbout(QWidget* parent = nullptr);

  QLabel* Label1;          // title and version date
  QLabel* Label3;          // author
  QLabel* Label4;          // e-mail
  QLabel* Label5;          // QQ
  ClickableLabel* Label6;  // "blog:"
  ClickableLabel* Label2;  // the web address
  QPushButton* CommandOK;

  void CommandOK_Click();
  void Label2_Click();
  void Label6_Click();

  static const char* const kAddress;

 protected:
  // Hands the address to the platform's URL opener (no command line is run).
  virtual void OpenAddress(const QUrl& address);
};
