#include "common/file_exists.h"

#include <fstream>
#include <system_error>

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const std::filesystem::path p = PathFromUtf8(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) return false;
  std::ifstream in(p, std::ios::binary);
  return in.is_open();
}
