#include <QApplication>
#include <QCoreApplication>

#include "command_line.h"
#include "common/console.h"
#include "common/help_language.h"
#include "common/interruption.h"
#include "common/qt_chinese.h"
#include "common/window_start.h"
#include "link/present_ports.h"
#include "link/qt_serial_io.h"
#include "ui/tolvar_app.h"

namespace {
// Qt's texts in both ways of running: dialog buttons, and the serial port's reasons.
const QStringList kQtCatalogs{QStringLiteral("qtbase"), QStringLiteral("qtserialport")};
}  // namespace

// With no arguments Tolvar opens its window; with a verb it runs from the terminal.
int main(int argc, char** argv) {
  CatchInterruptions();
  if (argc < 2) {
    ReleaseOwnConsole();
    const auto app = StartWindowProgram(argc, argv, "tolvar");
    LoadQtChinese(*app, kQtCatalogs);
    QtSerialIo io;
    return RunTolvarWindow(*app, io, PresentPorts);
  }
  PrepareConsoleOutput();
  QCoreApplication app(argc, argv);
  LoadQtChinese(app, kQtCatalogs);
  UseHelpInSystemLanguage();
  return RunCommandLine(Utf8Arguments(argc, argv));
}
