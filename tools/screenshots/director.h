#pragma once
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class QMessageBox;
class QWidget;

// Plays the user of the real windows from a list of steps: each waits until
// the windows are in its state, then acts (clicks, answers a question, takes
// a picture). A step's action runs from the event loop, so that a click that
// starts a transfer may block while later steps answer the dialogs the
// transfer opens.
class Director : public QObject {
 public:
  // Pictures go to `folder` as NAME.png.
  explicit Director(QString folder);

  // Acts as soon as the steps before it have acted.
  void Do(const QString& what, std::function<void()> act);
  // Acts once `ready` holds.
  void When(const QString& what, std::function<bool()> ready, std::function<void()> act = {});
  // Once a message box saying `text` is up: its picture (unless `picture` is
  // empty), then the button `answer` (QMessageBox::Ok, Yes or No).
  void Box(const QString& text, const QString& picture, int answer);
  // Once a file dialog is up: chooses `path` in it.
  void File(const QString& path);
  // Once a file dialog is up: cancels it.
  void CancelFile();

  // Runs the steps; 0 when every one acted, 1 when one waited in vain.
  int Run();

  // The picture of a window as it stands, with a title bar carrying its
  // title, and the windows in `above` drawn over it where they stand (a
  // drop-down list).
  void Shoot(QWidget* window, const QString& picture, const QList<QWidget*>& above = {});

  // Says what went wrong, runs `onFailure` and ends the program with status 1.
  [[noreturn]] void Fail(const QString& problem);
  std::function<void()> onFailure;

 private:
  struct Step {
    QString what;
    std::function<bool()> ready;
    std::function<void()> act;
  };
  void Poll();

  QString folder_;
  std::deque<Step> steps_;
  QTimer poll_;
  int waited_ = 0;  // polls the first step has waited
};

// The message box on top, when one is up.
QMessageBox* ShownBox();

// handheld-sim, wired to `link` (the device TOLVAR_COM1 names), restarted
// with other options for each scene.
class Handheld {
 public:
  Handheld(QString program, QString link);
  ~Handheld();
  // Stops the running one and starts one with `options`; false when it
  // does not name its device.
  bool Start(const QStringList& options);
  void Stop();
  // Enter on its terminal: with --manual it starts a backup.
  void PressEnter();

 private:
  QString program_, link_;
  QProcess process_;
};
