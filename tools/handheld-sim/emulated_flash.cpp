#include "emulated_flash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/safe_replace.h"
#include "converter/spare_area.h"

namespace {

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": read failed";
    return false;
  }
  return true;
}

// A pattern that differs from page to page and block to block.
std::uint8_t PatternByte(std::uint32_t seed, std::size_t i) {
  std::uint32_t x = seed * 2654435761u + static_cast<std::uint32_t>(i) * 40503u;
  x ^= x >> 15;
  x *= 2246822519u;
  return static_cast<std::uint8_t>(x >> 24);
}

// Writes `path`.temp and puts it in place of `path` in one step.
bool WriteImage(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  const std::string temporary = path + ".temp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      error = temporary + ": " + std::strerror(errno);
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (ReplaceWithTemporary(temporary, path, error)) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace

EmulatedFlash EmulatedFlash::Generated(int pages, int blocks, int startBlock) {
  EmulatedFlash flash;
  for (int p = 0; p < pages; ++p) {
    std::vector<std::uint8_t>& page = flash.norPages[p];
    page.resize(nor::kPageSize);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = PatternByte(0x4E4F52u + static_cast<std::uint32_t>(p), i);
  }
  for (int b = 0; b < blocks; ++b) {
    const unsigned logical = static_cast<unsigned>(startBlock + b);
    std::vector<std::uint8_t>& block = flash.nandBlocks[static_cast<int>(logical)];
    block.assign(nand::kBlockSize, 0xFF);
    for (int p = 0; p < nand::kPagesPerBlock; ++p) {
      std::uint8_t* page = block.data() + p * nand::kPageSize;
      for (std::size_t i = 0; i < nand::kPageData; ++i) page[i] = PatternByte(0x4E414E44u + logical * 64 + static_cast<std::uint32_t>(p), i);
      WriteSpareArea(page, p + 1, logical, 0x31);
    }
    StampBlockSum(block.data(), logical);
  }
  return flash;
}

bool EmulatedFlash::LoadNor(const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  if (bytes.empty() || bytes.size() % nor::kPageSize != 0) {
    error = path + ": a NOR image holds whole pages of 32768 bytes";
    return false;
  }
  norPages.clear();
  for (std::size_t p = 0; p * nor::kPageSize < bytes.size(); ++p)
    norPages[static_cast<int>(p)].assign(bytes.begin() + static_cast<long>(p * nor::kPageSize),
                                         bytes.begin() + static_cast<long>((p + 1) * nor::kPageSize));
  return true;
}

bool EmulatedFlash::LoadNand(const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  if (bytes.size() < nand::kTrailerSize || (bytes.size() - nand::kTrailerSize) % nand::kBlockSize != 0) {
    error = path + ": a NAND image holds whole blocks of 16896 bytes and a 2-byte starting block number";
    return false;
  }
  const std::size_t blocks = (bytes.size() - nand::kTrailerSize) / nand::kBlockSize;
  const int start = bytes[bytes.size() - 2] | (bytes[bytes.size() - 1] << 8);
  const int lastReachable = wire::LogicalBlockOfCode(wire::kBlock1Code - 1);  // the last whose block code fits
  if (start < 1 || start + static_cast<int>(blocks) - 1 > lastReachable) {
    error = path + ": starting logical block " + std::to_string(start) + " is out of range";
    return false;
  }
  nandBlocks.clear();
  for (std::size_t b = 0; b < blocks; ++b)
    nandBlocks[start + static_cast<int>(b)].assign(bytes.begin() + static_cast<long>(b * nand::kBlockSize),
                                                    bytes.begin() + static_cast<long>((b + 1) * nand::kBlockSize));
  return true;
}

std::vector<std::uint8_t> EmulatedFlash::NorImage() const {
  std::vector<std::uint8_t> image;
  if (norPages.empty()) return image;
  const int last = norPages.rbegin()->first;
  image.assign(static_cast<std::size_t>(last + 1) * nor::kPageSize, 0xFF);
  for (const auto& [page, bytes] : norPages)
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(static_cast<std::size_t>(page) * nor::kPageSize));
  return image;
}

int EmulatedFlash::FirstNandBlock() const { return nandBlocks.empty() ? 2 : nandBlocks.begin()->first; }

std::vector<std::uint8_t> EmulatedFlash::NandImage() const {
  std::vector<std::uint8_t> image;
  if (nandBlocks.empty()) return image;
  const int first = nandBlocks.begin()->first, last = nandBlocks.rbegin()->first;
  image.assign(static_cast<std::size_t>(last - first + 1) * nand::kBlockSize, 0xFF);
  for (const auto& [block, bytes] : nandBlocks)
    std::copy(bytes.begin(), bytes.end(),
              image.begin() + static_cast<long>(static_cast<std::size_t>(block - first) * nand::kBlockSize));
  return image;
}

bool EmulatedFlash::SaveNor(const std::string& path, std::string& error) const {
  return WriteImage(path, NorImage(), error);
}

bool EmulatedFlash::SaveNand(const std::string& path, std::string& error) const {
  std::vector<std::uint8_t> bytes = NandImage();
  const int first = FirstNandBlock();
  bytes.push_back(static_cast<std::uint8_t>(first & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(first >> 8));
  return WriteImage(path, bytes, error);
}
