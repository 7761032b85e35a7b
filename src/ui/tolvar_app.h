#pragma once
#include "link/port_text.h"

class QApplication;
class SerialIo;

// Runs Tolvar's window program on the given serial layer, offering the ports
// `listPorts` finds: loads the main window, shows it and processes events
// until the program ends. Returns the application's exit code.
int RunTolvarWindow(QApplication& app, SerialIo& io, PortEnumerator listPorts);
