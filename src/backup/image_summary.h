#pragma once
#include <string>

// One line that lets a user trust a finished backup and compare it later:
// the file's size and SHA-256, e.g. "x.nand: 16898 字节, SHA-256 9f86...".
// Empty when the file cannot be read.
std::string ImageSummary(const std::string& path);
