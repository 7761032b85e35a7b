#pragma once
#include <QApplication>
#include <memory>

// The QApplication of a window program. Where there is no display to show
// windows on (no graphical session, or one that cannot be reached) Qt would
// abort; instead the program says so in one line, with the way to its
// command line ("PROGRAM --help"), and exits with status 1.
std::unique_ptr<QApplication> StartWindowProgram(int& argc, char** argv, const char* program);
