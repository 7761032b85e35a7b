#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Whole files as bytes, for tests that compare what landed on disk.
using Bytes = std::vector<std::uint8_t>;

Bytes RandomBytes(std::size_t count, unsigned seed);
Bytes ReadFile(const std::filesystem::path& path);  // empty when missing
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
// The same as text, by UTF-8 paths as the programs take them.
std::string ReadText(const std::string& path);  // empty when missing
void WriteText(const std::string& path, const std::string& text);

// A NAND image: `blocks`, then the trailer of starting logical block `start`.
Bytes WithTrailer(Bytes blocks, unsigned start);
