#include "support/file_dialog_probe.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char* const kPipe = "pipe";

#ifdef __linux__
QStringList OpenedFiles(int watch) {
  QStringList opened;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t got = read(watch, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && !(event->mask & IN_ISDIR)) opened << QString::fromLocal8Bit(event->name);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  opened.removeDuplicates();
  return opened;
}

// Lists and draws the folder in the dialog that is open now, then cancels it.
void ListAndCancel(const QString& folder, FileDialogProbe& probe) {
  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  if (!dialog) return;
  dialog->setViewMode(QFileDialog::Detail);
  dialog->setDirectory(folder);
  auto* model = dialog->findChild<QFileSystemModel*>();
  const QDeadlineTimer deadline(5000);
  while (model && !probe.listed && !deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    const QModelIndex root = model->index(folder);
    probe.listed = model->rowCount(root) >= 1;
  }
  if (model) {
    const QModelIndex root = model->index(folder);
    for (int row = 0; row < model->rowCount(root); ++row)
      for (int column = 0; column < model->columnCount(root); ++column) {
        model->index(row, column, root).data(Qt::DisplayRole);
        model->index(row, column, root).data(Qt::DecorationRole);
      }
  }
  dialog->grab();
  const QDeadlineTimer settle(300);
  while (!settle.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  dialog->reject();
}
#endif

}  // namespace

bool MakeBlockingFolder(const QString& folder) {
#ifdef __linux__
  const QDir dir(folder);
  const QByteArray pipe = QFile::encodeName(dir.filePath(kPipe));
  if (mkfifo(pipe.constData(), 0600) != 0) return false;
  if (!QFile::link(kPipe, dir.filePath("x.nand"))) return false;
  for (const char* name : {"image.nor", "image.nand", "image.dat", "image"}) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, '\x5A')) != 4096) return false;
  }
  return true;
#else
  (void)folder;
  return false;
#endif
}

FileDialogProbe ProbeFileDialog(const QString& folder, const std::function<void()>& show) {
  FileDialogProbe probe;
#ifdef __linux__
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_OPEN);
  const QByteArray pipe = QFile::encodeName(QDir(folder).filePath(kPipe));
  std::atomic<bool> done{false}, blocked{false};
  std::thread watchdog([&] {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    while (!done) {
      std::this_thread::sleep_for(50ms);
      if (steady_clock::now() - start < 10s) continue;
      blocked = true;  // whoever waits on the pipe gets its end of file
      const int writer = open(pipe.constData(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) close(writer);
      if (steady_clock::now() - start > 60s) {
        std::fprintf(stderr, "The file dialog is still blocked after 60 s.\n");
        std::_Exit(3);
      }
    }
  });
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&probe] { ++probe.eventPasses; });
  ticker.start(10);
  QTimer::singleShot(0, [&] { ListAndCancel(folder, probe); });
  show();
  ticker.stop();
  done = true;
  watchdog.join();
  probe.blocked = blocked;
  probe.opened = OpenedFiles(watch);
  close(watch);
#else
  (void)folder;
  (void)show;
#endif
  return probe;
}
