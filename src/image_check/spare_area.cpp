#include "image_check/spare_area.h"

#include <cstring>

#include "common/image_layout.h"
#include "image_check/page_ecc.h"

using namespace nand;

namespace {

unsigned DigitValue(const std::string& text) {
  return !text.empty() && text[0] >= '0' && text[0] <= '9' ? static_cast<unsigned>(text[0] - '0') : 0;
}

// Sum of 512 bytes, eight at a time: every word adds its even and its odd
// bytes into four 16-bit lanes, which cannot overflow within 512 bytes
// (64 words × 2 × 255 < 65536); the four lanes are added at the end.
std::uint16_t SumOf512Bytes(const std::uint8_t* data) {
  constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  std::uint64_t lanes = 0;
  for (std::size_t i = 0; i < 512; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
  }
  const std::uint64_t total = (lanes & 0xFFFF) + (lanes >> 16 & 0xFFFF) + (lanes >> 32 & 0xFFFF) + (lanes >> 48);
  return static_cast<std::uint16_t>(total & 0xFFFF);
}

}  // namespace

std::uint8_t VersionByte(const std::string& major, const std::string& minor) {
  return static_cast<std::uint8_t>(DigitValue(major) * 16 + DigitValue(minor));
}

void WriteSpareArea(std::uint8_t* page, int pageNumber, unsigned logicalBlock, std::uint8_t version) {
  std::uint8_t* area = page + kPageData;
  std::memset(area, 0xFF, kSpareSize);
  if (logicalBlock <= 1) return;
  const PageChecks checks = CalPageChecks(page);
  area[spare::kEcc] = checks.ecc[0];
  area[spare::kEcc + 1] = checks.ecc[1];
  area[spare::kEcc + 2] = checks.ecc[2];
  area[spare::kMarkerAt] = spare::kMarker;
  area[spare::kXor] = checks.pageXor;
  if (pageNumber == 1) {
    area[spare::kBlockLow] = static_cast<std::uint8_t>(logicalBlock & 0xFF);
    area[spare::kBlockHigh] = static_cast<std::uint8_t>(logicalBlock >> 8 & 0xFF);
  }
  if (pageNumber == kPagesPerBlock) area[spare::kVersion] = version;
}

std::uint16_t CalCheckSum(const std::uint8_t* block) {
  // A block is 33 runs of 512 bytes; the two sum bytes are taken out again.
  static_assert(kBlockSize % 512 == 0);
  unsigned total = 0;
  for (std::size_t at = 0; at < kBlockSize; at += 512) total += SumOf512Bytes(block + at);
  total -= block[kBlockSumOffset] + block[kBlockSumOffset + 1];
  return static_cast<std::uint16_t>(total & 0xFFFF);
}

void StampBlockSum(std::uint8_t* block, unsigned logicalBlock) {
  if (logicalBlock <= 1) return;
  const std::uint16_t sum = CalCheckSum(block);
  block[kBlockSumOffset] = static_cast<std::uint8_t>(sum & 0xFF);
  block[kBlockSumOffset + 1] = static_cast<std::uint8_t>(sum >> 8);
}
