#pragma once
#include <filesystem>
#include <string>

// Paths travel through the programs as UTF-8 text; this turns one into a path
// that the file system understands on every platform (wide on Windows).
std::filesystem::path PathFromUtf8(const std::string& utf8);
// And back: a path as the UTF-8 text that messages show.
std::string Utf8FromPath(const std::filesystem::path& path);

// True when the path names a regular file that can be opened for reading. An
// empty path, a missing file, a folder, a device or a FIFO (whose opening could
// wait for ever) and an unreadable file all count as absent.
bool FileExists(const std::string& path);

// Why the path names no file that can be read, as a message shows it after
// the path: a missing file, a folder, a device, a pipe, no permission. Empty
// when it names a regular file that opens for reading. Never opens anything
// but a regular file, so that a pipe or a device is not waited on.
std::string UnreadableReason(const std::string& path);
