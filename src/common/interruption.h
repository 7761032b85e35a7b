#pragma once

// SIGINT, SIGTERM, SIGHUP (a terminal closed) and SIGQUIT (Ctrl-\ on a
// terminal); on Windows Ctrl-C, Ctrl-Break and the console window closing.
// Once caught, they no longer end the program on the spot: they are noted,
// and the program polls Interrupted() to stop what it does the way a cancel
// does (the temporary file it created removed, the old target left as it
// was, the port closed) and then exits.
// A read waiting for an answer on the terminal returns at once.
void CatchInterruptions();

// One of them arrived since CatchInterruptions. It stays true: whatever the
// program does next, it is on its way out.
bool Interrupted();

// The interruption came from outside rather than from the user's own keys: a
// closed terminal or console (SIGHUP), a kill (SIGTERM), a logoff or a
// shutdown. What a run has gathered is then worth keeping where it can be;
// Ctrl-C, Ctrl-\ and Ctrl-Break ask to stop and keep nothing.
bool InterruptedFromOutside();

// For tests that interrupt themselves: forget an interruption that was handled.
void ForgetInterruption();
