#include "common/console.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "common/file_exists.h"  // wide text to UTF-8

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::vector<std::string> Utf8Arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8FromPath(wide[i]));
  LocalFree(wide);
  return arguments;
}

void PrepareConsoleOutput() { SetConsoleOutputCP(CP_UTF8); }

void ReleaseOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();  // nobody else shares it: it is ours alone
}

#else
#include <unistd.h>

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }
std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv + (argc > 0 ? 1 : 0), argv + argc}; }
void PrepareConsoleOutput() {}
void ReleaseOwnConsole() {}
#endif
