#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

// Whole files as bytes, for tests that compare what landed on disk.
using Bytes = std::vector<std::uint8_t>;

Bytes RandomBytes(std::size_t count, unsigned seed);
Bytes ReadFile(const std::filesystem::path& path);  // empty when missing
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
