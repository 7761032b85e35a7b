#pragma once
#include <array>
#include <cstdint>

// The three ECC bytes of a 512-byte page (stored at spare offsets 6, 7, 8).
//
// Line parities over the byte address: E0 bit k is the parity of the bytes
// whose address bit k is 1, E1 bit k of those whose address bit k is 0
// (k = 0..7). E2: bits 0 and 4 are the parities of the first and second half
// of the page; bits 1, 2, 3 the column parities of bit positions whose bit
// 0, 1, 2 is 0, bits 5, 6, 7 of those whose bit 0, 1, 2 is 1. All 00 and all
// FF pages give 00 00 00.
using PageEcc = std::array<std::uint8_t, 3>;

struct PageChecks {
  PageEcc ecc;
  std::uint8_t pageXor;  // XOR of the 512 data bytes
};

// Both checks of one page in one pass over its 512 bytes.
PageChecks CalPageChecks(const std::uint8_t* page);

inline PageEcc CalEccCheck(const std::uint8_t* page) { return CalPageChecks(page).ecc; }

// What the stored ECC of a page says about its data, from the syndrome
// (stored XOR computed ECC):
//   Clean          the two agree;
//   DataBit        exactly one data bit differs: every one of the 12 pairs of
//                  line and column parities disagrees on exactly one side,
//                  and the differing bits spell the byte and bit;
//   EccOnly        one bit of the stored ECC itself differs, the data is good;
//   Uncorrectable  anything else (two or more bits flipped).
struct EccVerdict {
  enum Kind { Clean, DataBit, EccOnly, Uncorrectable };
  Kind kind = Clean;
  int byte = -1;  // DataBit: address of the byte (0..511); EccOnly: which ECC byte (0..2)
  int bit = -1;   // DataBit, EccOnly: bit position in that byte (0..7)
};

EccVerdict JudgeEcc(const PageEcc& stored, const PageEcc& computed);

// Flips the data bit that a DataBit verdict located; other verdicts change nothing.
void CorrectDataBit(std::uint8_t* page, const EccVerdict& verdict);
