#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "converter/form1.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

// The arguments after the program name, as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
#ifdef _WIN32
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
    arguments.push_back(text);
  }
  LocalFree(wide);
  (void)argc;
#else
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
#endif
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    return RunCommandLine(Utf8Arguments(argc, argv), std::cout, std::cerr);
  }
  QApplication app(argc, argv);
  Form1 window;
  window.show();
  return app.exec();
}
