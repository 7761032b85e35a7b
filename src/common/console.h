#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Both programs are one executable for the window and the command line.

// The arguments after the program name as UTF-8 (on Windows taken from the
// wide command line, so that any file name survives).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// True when `stream` is a terminal rather than a file or a pipe.
bool IsTerminal(std::FILE* stream);

// Prepares the terminal for UTF-8 output of the command-line verbs.
void PrepareConsoleOutput();

// Started for the window from a desktop rather than a terminal, the program
// gives back the console window the system opened for it.
void ReleaseOwnConsole();
