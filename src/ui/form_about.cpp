#include "ui/form_about.h"

#include <QDesktopServices>
#include <QFont>

FormAbout::FormAbout(QWidget* parent) : QDialog(parent) {
  setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  QFont titleFont = Label1->font();
  titleFont.setBold(true);
  titleFont.setPointSize(titleFont.pointSize() + 2);
  Label1->setFont(titleFont);

  connect(CommandOK, &QPushButton::clicked, this, &FormAbout::CommandOK_Click);
  connect(Label2, &ClickableLabel::clicked, this, &FormAbout::Label2_Click);
  connect(Label6, &ClickableLabel::clicked, this, &FormAbout::Label6_Click);
}

void FormAbout::CommandOK_Click() { close(); }

// The address is the one the box shows.
void FormAbout::Label2_Click() { OpenAddress(QUrl(Label2->text())); }

void FormAbout::Label6_Click() { Label2_Click(); }

void FormAbout::OpenAddress(const QUrl& address) { QDesktopServices::openUrl(address); }
