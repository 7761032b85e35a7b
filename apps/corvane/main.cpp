#include <QApplication>
#include <QCoreApplication>
#include <iostream>

#include "command_line.h"
#include "common/console.h"
#include "common/help_language.h"
#include "common/interruption.h"
#include "common/qt_chinese.h"
#include "common/window_start.h"
#include "converter/form1.h"

// With no arguments Corvane opens its window; with a verb it runs from the terminal.
int main(int argc, char** argv) {
  CatchInterruptions();
  if (argc > 1) {
    PrepareConsoleOutput();
    QCoreApplication app(argc, argv);
    UseHelpInSystemLanguage();
    return RunCommandLine(Utf8Arguments(argc, argv), std::cout, std::cerr);
  }
  ReleaseOwnConsole();
  const auto app = StartWindowProgram(argc, argv, "corvane");
  LoadQtChinese(*app, {QStringLiteral("qtbase")});
  Form1 window;
  window.show();
  return app->exec();
}
