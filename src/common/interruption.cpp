#include "common/interruption.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t fromOutside = 0;
}  // namespace

#ifdef _WIN32
namespace {
BOOL WINAPI OnConsoleEvent(DWORD event) {
  interrupted = 1;
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) fromOutside = 1;
  // The system ends the program as soon as this returns from a close, logoff
  // or shutdown event; waiting here gives the main thread its few seconds to
  // clean up and return from main, which ends the program itself.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4000);
  return TRUE;
}
}  // namespace

void CatchInterruptions() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
#else
namespace {
void OnSignal(int signal) {
  interrupted = 1;
  if (signal == SIGHUP || signal == SIGTERM) fromOutside = 1;
}
}  // namespace

void CatchInterruptions() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking read returns with EINTR
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}
#endif

bool Interrupted() { return interrupted != 0; }

bool InterruptedFromOutside() { return fromOutside != 0; }

void ForgetInterruption() {
  interrupted = 0;
  fromOutside = 0;
}
