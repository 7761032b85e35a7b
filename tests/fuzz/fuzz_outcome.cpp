#include <algorithm>
#include <cstdio>

#include "fuzz_target.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

}  // namespace

std::string DescribeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
  char text[64];
  std::snprintf(text, sizeof text, ": %zu bytes, FNV-1a %016llx", bytes.size(), static_cast<unsigned long long>(hash));
  return name + text;
}

std::string DescribeFile(const fs::path& file) {
  std::error_code error;
  if (!fs::exists(file, error)) return "no " + file.filename().string();
  return DescribeBytes(file.filename().string(), ReadFile(file));
}

void AddSaid(std::vector<std::string>& lines, const std::string& label, const std::vector<std::string>& said) {
  for (std::string text : said) {
    text = Replaced(Replaced(text, (ScratchFolder() / "").string(), "<folder>/"), "\r", "");
    lines.push_back(label + Replaced(text, "\n", "\\n"));
  }
}

void AddFilesAndClear(std::vector<std::string>& lines) {
  std::vector<fs::path> files{fs::directory_iterator(ScratchFolder()), fs::directory_iterator()};
  std::sort(files.begin(), files.end());
  if (files.empty()) lines.push_back("no file");
  for (const fs::path& file : files) {
    lines.push_back(DescribeFile(file));
    fs::remove_all(file);
  }
}
