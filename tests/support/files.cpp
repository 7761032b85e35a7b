#include "support/files.h"

#include <fstream>
#include <iterator>
#include <random>

#include "common/file_exists.h"
#include "common/image_layout.h"

Bytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(PathFromUtf8(path), std::ios::binary | std::ios::trunc) << text;
}

Bytes WithTrailer(Bytes blocks, unsigned start) {
  const auto trailer = nand::TrailerBytes(start);
  blocks.insert(blocks.end(), trailer.begin(), trailer.end());
  return blocks;
}
