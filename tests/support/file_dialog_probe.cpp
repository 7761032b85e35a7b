#include "support/file_dialog_probe.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

QString ProbeFileDialog(const QString& folder, const std::function<void()>& show) {
  const QDir dir(folder);
  const QByteArray pipe = QFile::encodeName(dir.filePath("pipe"));
  if (mkfifo(pipe.constData(), 0600) != 0 || !QFile::link("pipe", dir.filePath("x.nand"))) return "unsupported";
  for (const char* name : {"image.nor", "image.nand", "image.dat", "image"}) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, '\x5A')) != 4096) return "unsupported";
  }
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_OPEN);

  std::atomic<bool> done{false}, blocked{false};
  std::thread watchdog([&] {
    for (auto start = std::chrono::steady_clock::now(); !done; std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
      if (std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) continue;
      blocked = true;  // whoever waits on the pipe gets its end of file
      if (const int writer = open(pipe.constData(), O_WRONLY | O_NONBLOCK); writer >= 0) close(writer);
    }
  });
  int passes = 0, rows = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&passes] { ++passes; });
  ticker.start(10);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->setViewMode(QFileDialog::Detail);  // with the type column
    dialog->setDirectory(folder);
    auto* model = dialog->findChild<QFileSystemModel*>();
    for (QDeadlineTimer deadline(5000); model && rows == 0 && !deadline.hasExpired();) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
      rows = model->rowCount(model->index(folder));
    }
    dialog->grab();
    // Time for the list's types and icons, which Qt fetches in the background.
    for (QDeadlineTimer settle(300); !settle.hasExpired();) QApplication::processEvents(QEventLoop::AllEvents, 10);
    dialog->reject();
  });
  show();
  done = true;
  watchdog.join();

  QStringList opened;
  alignas(inotify_event) char events[8192];
  for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->len > 0 && !(event->mask & IN_ISDIR)) opened << QString::fromLocal8Bit(event->name);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  close(watch);
  if (blocked) return "blocked";
  if (rows == 0) return "nothing listed";
  if (passes < 10) return "events stood still";
  opened.removeDuplicates();
  return opened.isEmpty() ? QString() : "opened " + opened.join(", ");
}
#else
QString ProbeFileDialog(const QString&, const std::function<void()>&) { return "unsupported"; }
#endif
