#pragma once
#include <QString>
#include <functional>

// Puts into `folder` what blocks a file dialog that reads the files it lists
// (a named pipe, a link to it named like an image, files whose names say
// nothing of their content), runs `show`, which shows a program's modal file
// dialog, steers that dialog into the folder and cancels it once listed.
// Returns what went wrong, or an empty text. A watchdog lets a reader of the
// pipe go after 10 s, so that a blocked dialog fails instead of hanging.
// Linux only (a pipe, and inotify to see which files get opened): elsewhere
// it returns "unsupported".
QString ProbeFileDialog(const QString& folder, const std::function<void()>& show);
