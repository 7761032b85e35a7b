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
