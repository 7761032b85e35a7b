#pragma once
#include "link/module1.h"
#include "link/port_text.h"
#include "link/tick_clock.h"
#include "ui/form_main.h"

class QApplication;
class SerialIo;

// Tolvar's main window wired to the engine on the given serial layer,
// offering the ports `listPorts` finds, with its repair dialogs; not shown yet.
class TolvarWindow {
 public:
  TolvarWindow(SerialIo& io, PortEnumerator listPorts);
  ~TolvarWindow();

  FormMain form;

 private:
  SystemTickClock clock_;
  Module1 module_;
};

// Runs Tolvar's window program: loads the main window, shows it and
// processes events until the program ends. Returns the application's exit code.
int RunTolvarWindow(QApplication& app, SerialIo& io, PortEnumerator listPorts);
