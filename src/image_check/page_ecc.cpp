#include "image_check/page_ecc.h"

#include <bit>
#include <cstring>

namespace {

// Parity of all 64 bits: 1 when an odd number of them is set.
inline unsigned Parity(std::uint64_t x) {
  x ^= x >> 32;
  x ^= x >> 16;
  x ^= x >> 8;
  x ^= x >> 4;
  return (0x6996u >> (x & 0xF)) & 1u;
}

// Eight page bytes as one word, byte 0 of the group in the lowest byte.
inline std::uint64_t LoadWord(const std::uint8_t* bytes) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, bytes, sizeof word);
  } else {
    for (int i = 7; i >= 0; --i) word = word << 8 | bytes[i];
  }
  return word;
}

inline unsigned ParityOfByte(unsigned value) {
  value ^= value >> 4;
  return (0x6996u >> (value & 0xF)) & 1u;
}

}  // namespace

// The page is folded as 64 words of 8 bytes. A byte's address is 8 × word
// index + its place in the word, so address bits 0-2 select a byte within a
// word and bits 3-8 select the word. XORing together the words whose index
// bit m is set gives a word whose bit parity is the line parity for address
// bit m + 3; the line parities for address bits 0-2 come from the bytes of
// the XOR of all words, which also yields the page XOR and the column parities.
PageChecks CalPageChecks(const std::uint8_t* page) {
  std::uint64_t all = 0;
  std::uint64_t byIndexBit[6] = {};
  for (unsigned group = 0; group < 8; ++group) {
    const std::uint8_t* p = page + group * 64;
    const std::uint64_t w0 = LoadWord(p), w1 = LoadWord(p + 8), w2 = LoadWord(p + 16), w3 = LoadWord(p + 24);
    const std::uint64_t w4 = LoadWord(p + 32), w5 = LoadWord(p + 40), w6 = LoadWord(p + 48), w7 = LoadWord(p + 56);
    const std::uint64_t w37 = w3 ^ w7;
    byIndexBit[0] ^= w1 ^ w5 ^ w37;
    byIndexBit[1] ^= w2 ^ w6 ^ w37;
    byIndexBit[2] ^= w4 ^ w5 ^ w6 ^ w7;
    const std::uint64_t groupXor = w0 ^ w1 ^ w2 ^ w3 ^ w4 ^ w5 ^ w6 ^ w7;
    all ^= groupXor;
    if (group & 1) byIndexBit[3] ^= groupXor;
    if (group & 2) byIndexBit[4] ^= groupXor;
    if (group & 4) byIndexBit[5] ^= groupXor;
  }

  // Line parities taken where address bit k is 1 (k = 0..8).
  unsigned ones = Parity(all & 0xFF00FF00FF00FF00ull) | Parity(all & 0xFFFF0000FFFF0000ull) << 1 |
                  Parity(all & 0xFFFFFFFF00000000ull) << 2;
  for (unsigned m = 0; m < 6; ++m) ones |= Parity(byIndexBit[m]) << (m + 3);
  const unsigned total = Parity(all);
  // Where address bit k is 0: the total parity minus the ones side.
  const unsigned zeros = (total ? ~ones : ones) & 0x1FF;

  std::uint64_t folded = all ^ (all >> 32);
  folded ^= folded >> 16;
  folded ^= folded >> 8;
  const unsigned x = static_cast<unsigned>(folded & 0xFF);

  const unsigned e2 = (zeros >> 8 & 1) | ParityOfByte(x & 0x55) << 1 | ParityOfByte(x & 0x33) << 2 |
                      ParityOfByte(x & 0x0F) << 3 | (ones >> 8 & 1) << 4 | ParityOfByte(x & 0xAA) << 5 |
                      ParityOfByte(x & 0xCC) << 6 | ParityOfByte(x & 0xF0) << 7;
  PageChecks checks;
  checks.ecc = {static_cast<std::uint8_t>(ones & 0xFF), static_cast<std::uint8_t>(zeros & 0xFF),
                static_cast<std::uint8_t>(e2)};
  checks.pageXor = static_cast<std::uint8_t>(x);
  return checks;
}

EccVerdict JudgeEcc(const PageEcc& stored, const PageEcc& computed) {
  const unsigned s0 = stored[0] ^ computed[0], s1 = stored[1] ^ computed[1], s2 = stored[2] ^ computed[2];
  EccVerdict verdict;
  if ((s0 | s1 | s2) == 0) return verdict;
  const unsigned differing = static_cast<unsigned>(std::popcount(s0) + std::popcount(s1) + std::popcount(s2));
  if ((s0 ^ s1) == 0xFF && ((s2 ^ (s2 >> 4)) & 0x0F) == 0x0F) {
    verdict.kind = EccVerdict::DataBit;
    verdict.byte = static_cast<int>(s0 | (s2 >> 4 & 1) << 8);
    verdict.bit = static_cast<int>(s2 >> 5 & 7);
  } else if (differing == 1) {
    verdict.kind = EccVerdict::EccOnly;
    verdict.byte = s0 ? 0 : s1 ? 1 : 2;
    verdict.bit = std::countr_zero(s0 | s1 | s2);
  } else {
    verdict.kind = EccVerdict::Uncorrectable;
  }
  return verdict;
}

void CorrectDataBit(std::uint8_t* page, const EccVerdict& verdict) {
  if (verdict.kind == EccVerdict::DataBit) page[verdict.byte] ^= static_cast<std::uint8_t>(1u << verdict.bit);
}
