#include "common/window_start.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* startingProgram = "";

// While the application starts: Qt's warnings about the display say what the
// one line below says, less plainly; a fatal message means no window can open.
void OnStartMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type != QtFatalMsg) return;
  std::fprintf(stderr, "%s: 没有找到可以显示窗口的图形界面, 窗口无法打开; 在终端里可以用命令行: %s --help\n",
               startingProgram, startingProgram);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

std::unique_ptr<QApplication> StartWindowProgram(int& argc, char** argv, const char* program) {
  startingProgram = program;
  const QtMessageHandler previous = qInstallMessageHandler(OnStartMessage);
  auto app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  return app;
}
