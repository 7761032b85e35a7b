#include "repair/byte_kernels.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOLVAR_CLMUL 1
#include <immintrin.h>
#endif
#if defined(__SSE2__) || defined(_M_X64)
#define TOLVAR_SSE2 1
#include <emmintrin.h>
#endif

namespace {

constexpr std::uint16_t kReflectedPolynomial = 0x8408;

constexpr std::uint16_t Entry(unsigned i) {
  std::uint16_t c = static_cast<std::uint16_t>(i);
  for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ kReflectedPolynomial) : static_cast<std::uint16_t>(c >> 1);
  return c;
}

// Eight tables for taking eight bytes per step; the first one is T itself.
struct SlicingTables {
  std::uint16_t t[8][256];
  constexpr SlicingTables() : t{} {
    for (unsigned i = 0; i < 256; ++i) t[0][i] = Entry(i);
    for (int k = 1; k < 8; ++k)
      for (unsigned i = 0; i < 256; ++i) t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  }
};
constexpr SlicingTables kTables;

#ifdef TOLVAR_CLMUL
// The 16-bit CRC is the 32-bit reflected CRC whose generator is x^16 times
// the CRC's own polynomial: its register never leaves the low 16 bits. That
// lets 16-byte blocks be folded with carry-less products in the usual way.
// The fold constants are x^n mod G, bit-reversed into 64 bits.
std::uint64_t FoldConstant(unsigned n) {
  const std::uint64_t generator = 0x110210000ULL;  // x^32 + x^28 + x^21 + x^16
  std::uint64_t r = 1;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if (r & (1ULL << 32)) r ^= generator;
  }
  std::uint64_t reversed = 0;
  for (int bit = 0; bit < 32; ++bit)
    if (r & (1ULL << bit)) reversed |= 1ULL << (63 - bit);
  return reversed;
}

// Constants for moving a 128-bit block `distance` bits further on; the
// product carries one factor x of its own, hence the - 1.
__m128i FoldBy(unsigned distance) {
  return _mm_set_epi64x(static_cast<long long>(FoldConstant(distance - 1)), static_cast<long long>(FoldConstant(distance + 64 - 1)));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// Folds whole 128-byte steps, eight blocks side by side so that the
// products overlap; returns the number of bytes taken. `block` receives 16
// bytes with the same CRC (from register 0) as the register `reg` run over
// the bytes taken.
__attribute__((target("pclmul,sse2"))) std::size_t FoldBlocks(std::uint16_t reg, const std::uint8_t* p, std::size_t count, std::uint8_t* block,
                                                              std::uint32_t* sum) {
  constexpr int kLanes = 8;
  static const __m128i kStep = FoldBy(kLanes * 128);
  static const __m128i kNext = FoldBy(128);
  const std::size_t taken = count / (16 * kLanes) * (16 * kLanes);
  auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  __m128i x[kLanes];
  for (int i = 0; i < kLanes; ++i) x[i] = load(p + 16 * i);
  const __m128i zero = _mm_setzero_si128();
  __m128i total = _mm_setzero_si128();
  if (sum)
    for (int i = 0; i < kLanes; ++i) total = _mm_add_epi64(total, _mm_sad_epu8(x[i], zero));
  x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(reg));
  for (std::size_t at = 16 * kLanes; at < taken; at += 16 * kLanes) {
    for (int i = 0; i < kLanes; ++i) {
      const __m128i next = load(p + at + 16 * i);
      if (sum) total = _mm_add_epi64(total, _mm_sad_epu8(next, zero));
      x[i] = _mm_xor_si128(Fold(x[i], kStep), next);
    }
  }
  if (sum) {
    std::uint64_t halves[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), total);
    *sum += static_cast<std::uint32_t>(halves[0] + halves[1]);
  }
  for (int i = 1; i < kLanes; ++i) x[i] = _mm_xor_si128(Fold(x[i - 1], kNext), x[i]);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), x[kLanes - 1]);
  return taken;
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}
#endif

}  // namespace

std::uint16_t CrcTableEntry(unsigned i) { return kTables.t[0][i & 0xFF]; }

std::uint16_t CrcRegisterUpdateTables(std::uint16_t reg, const std::uint8_t* bytes, std::size_t count) {
  const auto& t = kTables.t;
  std::uint16_t crc = reg;
  while (count >= 8) {
    const unsigned b0 = bytes[0] ^ (crc & 0xFF);
    const unsigned b1 = bytes[1] ^ (crc >> 8);
    crc = static_cast<std::uint16_t>(t[7][b0] ^ t[6][b1] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^
                                     t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]]);
    bytes += 8;
    count -= 8;
  }
  for (; count > 0; --count, ++bytes) crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF]);
  return crc;
}

std::uint16_t CrcRegisterUpdate(std::uint16_t reg, const std::uint8_t* bytes, std::size_t count, std::uint32_t* sum) {
#ifdef TOLVAR_CLMUL
  if (count >= 256 && HasClmul()) {
    std::uint8_t block[16];
    const std::size_t taken = FoldBlocks(reg, bytes, count, block, sum);
    reg = CrcRegisterUpdateTables(0, block, sizeof block);
    bytes += taken;
    count -= taken;
  }
#endif
  if (sum) *sum += ByteSum(bytes, count);
  return CrcRegisterUpdateTables(reg, bytes, count);
}

std::uint32_t ByteSum(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
#ifdef TOLVAR_SSE2
  __m128i total = _mm_setzero_si128();
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= count; i += 16)
    total = _mm_add_epi64(total, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), zero));
  std::uint64_t halves[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), total);
  sum = static_cast<std::uint32_t>(halves[0] + halves[1]);
#endif
  for (; i < count; ++i) sum += bytes[i];
  return sum;
}
