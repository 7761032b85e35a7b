#pragma once
#include <string>

// Whether a path may take a file we write: either nothing stands there yet,
// or a regular file that we replace. A folder, a device, a FIFO or a socket
// is never written over (renaming a file over /dev/null would replace the
// system's device). A symbolic link counts as the file it leads to: that file
// is replaced and the link stays.
struct Target {
  std::string path;     // the file to write: the given path, or where its links lead
  std::string problem;  // why it may not be written, naming the path and what it is; empty when it may
  bool exists = false;  // a regular file stands there now (the user is asked before it is replaced)
};

// Looks at `path` (UTF-8) and the folder it would go into, which must exist
// and be writable. A file standing there must be one the user may replace:
// not read-only, and not another user's in a folder that lets only a file's
// owner replace it.
Target CheckTarget(const std::string& path);

// Why the existing file at `path` may not be changed in place, as a message
// shows it after the path: it is read-only (left alone even by root), or the
// system will not let us write it (no permission, a read-only file system).
// Empty when it may.
std::string ChangeProblem(const std::string& path);
