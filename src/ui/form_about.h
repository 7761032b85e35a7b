#pragma once
#include <QDialog>
#include <QUrl>

#include "ui_form_about.h"

// The About box (form_about.ui): program title and version date, the contact
// lines, and the project's web address, which opens in the system's browser
// when the address or its "blog:" caption is clicked. Modeless; "确定"
// unloads it.
class FormAbout : public QDialog, public Ui::FormAbout {
  Q_OBJECT

 public:
  explicit FormAbout(QWidget* parent = nullptr);

  void CommandOK_Click();
  void Label2_Click();
  void Label6_Click();

 protected:
  // Hands the address to the platform's URL opener (no command line is run).
  virtual void OpenAddress(const QUrl& address);
};
