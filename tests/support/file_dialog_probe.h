#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// Watches a program's own file dialog list a folder that would block a
// dialog reading its files: a named pipe, a link to it named like an image,
// and regular files whose names say nothing about their content. Linux only
// (a pipe, and inotify to see which files get opened).
struct FileDialogProbe {
  bool listed = false;    // the dialog listed files of the folder
  bool blocked = false;   // a reader of the pipe had to be let go by the watchdog
  int eventPasses = 0;    // passes of a 10 ms timer while the dialog was open
  QStringList opened;     // files of the folder that were opened
};

// Makes the folder's contents; false when this system cannot.
bool MakeBlockingFolder(const QString& folder);

// Runs `show`, which must show a modal file dialog and return when it is
// closed. Meanwhile the dialog is steered into `folder`, made to list and
// draw it (types and icons included), and cancelled. A watchdog lets a reader
// of the pipe go after 10 s, so that a blocked dialog fails the test instead
// of hanging it, and ends the process after 60 s.
FileDialogProbe ProbeFileDialog(const QString& folder, const std::function<void()>& show);
