#include <QApplication>
#include <QCoreApplication>

#include "command_line.h"
#include "link/qt_serial_io.h"
#include "ui/tolvar_app.h"

#ifdef _WIN32
#include <windows.h>
#endif

// With no arguments Tolvar opens its window; with a verb it runs from the terminal.
int main(int argc, char** argv) {
  if (argc < 2) {
    QApplication app(argc, argv);
    QtSerialIo io;
    return RunTolvarWindow(app, io);
  }
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
  QCoreApplication app(argc, argv);
  return RunCommandLine(argc, argv);
}
