#pragma once
#include <cstdint>
#include <string>

// The 16 spare bytes after each page's data, offsets within the spare area:
//   0-1   logical block number, low byte first (page 1; FF elsewhere)
//   2-5   FF
//   6-8   page ECC E0 E1 E2
//   9     marker AA
//   10    page XOR
//   11-12 FF
//   13    version byte (page 32; FF elsewhere)
//   14-15 block sum, low byte first (page 32; FF elsewhere)
// Logical block 1 keeps all 16 bytes of all its pages at FF.
namespace spare {
inline constexpr std::uint8_t kMarker = 0xAA;
inline constexpr int kBlockLow = 0, kBlockHigh = 1, kEcc = 6, kMarkerAt = 9, kXor = 10, kVersion = 13,
                     kSumLow = 14, kSumHigh = 15;
}  // namespace spare

// The version byte from the two digit boxes: major × 16 + minor, an empty
// box (or anything but a digit) counting as 0. "3" and "1" give 31 (hex).
std::uint8_t VersionByte(const std::string& major, const std::string& minor);

// Fills the spare area of one 528-byte page from its 512 data bytes.
// `pageNumber` is 1..32; `version` is used on page 32 only.
void WriteSpareArea(std::uint8_t* page, int pageNumber, unsigned logicalBlock, std::uint8_t version);

// The block sum of a 16896-byte block: its first 16894 bytes (data and spare
// bytes, the two sum bytes left out) added as unsigned bytes, modulo 65536.
std::uint16_t CalCheckSum(const std::uint8_t* block);

// Once all 32 pages stand in the block: stores its block sum at block offsets
// 16894 (low) and 16895 (high). Logical block 1 gets none.
void StampBlockSum(std::uint8_t* block, unsigned logicalBlock);
