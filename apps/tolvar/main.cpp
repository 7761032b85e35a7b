#include <QApplication>
#include <QCoreApplication>

#include "command_line.h"
#include "common/console.h"
#include "link/qt_serial_io.h"
#include "ui/tolvar_app.h"

// With no arguments Tolvar opens its window; with a verb it runs from the terminal.
int main(int argc, char** argv) {
  if (argc < 2) {
    ReleaseOwnConsole();
    QApplication app(argc, argv);
    QtSerialIo io;
    return RunTolvarWindow(app, io);
  }
  PrepareConsoleOutput();
  QCoreApplication app(argc, argv);
  return RunCommandLine(Utf8Arguments(argc, argv));
}
