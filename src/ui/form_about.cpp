#include "ui/form_about.h"

#include <QDesktopServices>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

const char* const FormAbout::kAddress = "https://example.org/tolvar";

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

namespace {
QLabel* MakeLabel(QLabel* label, const char* name, const char* text) {
  label->setObjectName(name);
  label->setText(QString::fromUtf8(text));
  return label;
}
}  // namespace

FormAbout::FormAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("FormAbout");
  setWindowTitle(QString::fromUtf8("关于"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);

  Label1 = MakeLabel(new QLabel(this), "Label1", "Marnock 06.8.26 更新版");
  QFont titleFont = Label1->font();
  titleFont.setBold(true);
  titleFont.setPointSize(titleFont.pointSize() + 2);
  Label1->setFont(titleFont);
  Label3 = MakeLabel(new QLabel(this), "Label3", "作者:Tolvar 开发组");
  Label4 = MakeLabel(new QLabel(this), "Label4", "Email:tolvar@example.org");
  Label5 = MakeLabel(new QLabel(this), "Label5", "QQ:(暂无)");
  Label6 = new ClickableLabel(this);
  MakeLabel(Label6, "Label6", "blog:");
  Label2 = new ClickableLabel(this);
  MakeLabel(Label2, "Label2", kAddress);
  QFont addressFont(QString::fromUtf8("宋体"), 9);
  addressFont.setUnderline(true);
  Label2->setFont(addressFont);
  Label2->setStyleSheet("color: blue");
  Label2->setCursor(Qt::PointingHandCursor);
  Label6->setCursor(Qt::PointingHandCursor);
  CommandOK = new QPushButton(QString::fromUtf8("确定"), this);
  CommandOK->setObjectName("CommandOK");
  CommandOK->setDefault(true);

  auto* blog = new QHBoxLayout;
  blog->addWidget(Label6);
  blog->addWidget(Label2);
  blog->addStretch();
  auto* ok = new QHBoxLayout;
  ok->addStretch();
  ok->addWidget(CommandOK);
  ok->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 14);
  layout->addWidget(Label1, 0, Qt::AlignHCenter);
  layout->addSpacing(10);
  layout->addWidget(Label3);
  layout->addWidget(Label4);
  layout->addWidget(Label5);
  layout->addLayout(blog);
  layout->addSpacing(10);
  layout->addLayout(ok);

  connect(CommandOK, &QPushButton::clicked, this, &FormAbout::CommandOK_Click);
  connect(Label2, &ClickableLabel::clicked, this, &FormAbout::Label2_Click);
  connect(Label6, &ClickableLabel::clicked, this, &FormAbout::Label6_Click);
}

void FormAbout::CommandOK_Click() { close(); }

void FormAbout::Label2_Click() { OpenAddress(QUrl(QString::fromUtf8(kAddress))); }

void FormAbout::Label6_Click() { Label2_Click(); }

void FormAbout::OpenAddress(const QUrl& address) { QDesktopServices::openUrl(address); }
