#pragma once

class QApplication;
class SerialIo;

// Runs Tolvar's window program on the given serial layer: loads the main
// window, shows it and processes events until the program ends. Returns the
// application's exit code.
int RunTolvarWindow(QApplication& app, SerialIo& io);
