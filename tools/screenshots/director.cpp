#include "director.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {
constexpr int kPollMs = 10;
constexpr int kPatienceMs = 20000;  // what the slowest step may take
}  // namespace

QMessageBox* ShownBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  return box && box->isVisible() ? box : nullptr;
}

Director::Director(QString folder) : folder_(std::move(folder)) {
  connect(&poll_, &QTimer::timeout, this, &Director::Poll);
}

void Director::Do(const QString& what, std::function<void()> act) {
  When(what, [] { return true; }, std::move(act));
}

void Director::When(const QString& what, std::function<bool()> ready, std::function<void()> act) {
  steps_.push_back({what, std::move(ready), std::move(act)});
}

void Director::Box(const QString& text, const QString& picture, int answer) {
  When(
      "a message box saying " + text,
      [text] { return ShownBox() && ShownBox()->text().contains(text); },
      [this, picture, answer] {
        QMessageBox* box = ShownBox();
        if (!picture.isEmpty()) Shoot(box, picture);
        box->button(static_cast<QMessageBox::StandardButton>(answer))->click();
      });
}

namespace {
QFileDialog* ShownFileDialog() {
  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  return dialog && dialog->isVisible() ? dialog : nullptr;
}
}  // namespace

// The folder, then the name typed into the dialog's name box, then its button.
void Director::File(const QString& path) {
  When("a file dialog for " + path, [] { return ShownFileDialog() != nullptr; }, [this, path] {
    QFileDialog* dialog = ShownFileDialog();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) Fail("a file dialog without its name box");
    dialog->setDirectory(QFileInfo(path).absolutePath());
    name->setText(QFileInfo(path).fileName());
    static_cast<QDialog*>(dialog)->accept();  // as its button does
  });
}

void Director::CancelFile() {
  When("a file dialog to cancel", [] { return ShownFileDialog() != nullptr; }, [] { ShownFileDialog()->reject(); });
}

int Director::Run() {
  poll_.start(kPollMs);
  return QApplication::exec();
}

// The first step acts once it is ready, from a timer of its own: the poll
// goes on while the action blocks (a transfer, a modal dialog).
void Director::Poll() {
  if (steps_.empty()) {
    poll_.stop();
    QApplication::exit(0);
    return;
  }
  if (!steps_.front().ready()) {
    if (++waited_ * kPollMs < kPatienceMs) return;
    Fail("waited in vain for " + steps_.front().what);
  }
  waited_ = 0;
  Step step = std::move(steps_.front());
  steps_.pop_front();
  std::printf("%s\n", qPrintable(step.what));
  std::fflush(stdout);
  if (step.act) QTimer::singleShot(0, this, std::move(step.act));
}

void Director::Shoot(QWidget* window, const QString& picture, const QList<QWidget*>& above) {
  // The window and whatever stands over it, on a canvas that holds them all.
  QRect area = window->rect();
  for (QWidget* w : above) area |= QRect(window->mapFromGlobal(w->mapToGlobal(QPoint(0, 0))), w->size());
  QPixmap body(area.size());
  body.fill(Qt::white);
  QPainter canvas(&body);
  canvas.drawPixmap(-area.topLeft(), window->grab());
  for (QWidget* w : above) canvas.drawPixmap(window->mapFromGlobal(w->mapToGlobal(QPoint(0, 0))) - area.topLeft(), w->grab());
  canvas.end();
  // A plain title bar: the offscreen platform draws none.
  const int bar = window->fontMetrics().height() + 10;
  QImage image(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
  image.fill(QColor(0x5d, 0x6d, 0x7e));
  QPainter painter(&image);
  painter.drawPixmap(1, bar, body);
  painter.setPen(Qt::white);
  painter.setFont(window->font());
  painter.drawText(QRect(10, 0, image.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
  painter.end();
  image.setText(QStringLiteral("Software"), QStringLiteral("tolvar scripts/screenshots.sh"));
  const QString file = folder_ + '/' + picture + QStringLiteral(".png");
  if (!image.save(file)) Fail("cannot write " + file);
}

// Nested in the windows' loops there is no way back to a clean end.
void Director::Fail(const QString& problem) {
  std::fprintf(stderr, "screenshots: %s\n", qPrintable(problem));
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible())
      std::fprintf(stderr, "  shown: %s \"%s\"%s\n", w->metaObject()->className(), qPrintable(w->windowTitle()),
                   w == QApplication::activeModalWidget() ? qPrintable(" (modal) " + ShownBox()->text()) : "");
  std::fflush(stderr);
  if (onFailure) onFailure();
  std::exit(1);
}

Handheld::Handheld(QString program, QString link) : program_(std::move(program)), link_(std::move(link)) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

Handheld::~Handheld() { Stop(); }

bool Handheld::Start(const QStringList& options) {
  Stop();
  process_.start(program_, QStringList{QStringLiteral("--link"), link_} + options);
  // Its first line names the device; the link stands by then.
  while (!process_.canReadLine())
    if (!process_.waitForReadyRead(5000)) return false;
  process_.readLine();
  return true;
}

void Handheld::Stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished();
}

void Handheld::PressEnter() { process_.write("\n"); }
