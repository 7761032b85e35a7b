#pragma once
#include <filesystem>
#include <string>

// Paths travel through the programs as UTF-8 text; this turns one into a path
// that the file system understands on every platform (wide on Windows).
std::filesystem::path PathFromUtf8(const std::string& utf8);

// True when the path names a file that can be opened for reading. An empty
// path, a missing file, a folder and an unreadable file all count as absent.
bool FileExists(const std::string& path);
