#include <gtest/gtest.h>

#include <random>

#include "common/image_layout.h"
#include "image_check/page_ecc.h"
#include "image_check/spare_area.h"
#include "support/files.h"

using namespace nand;

namespace {

// The ECC straight from its definition, one byte and one bit at a time.
PageEcc EccByDefinition(const std::uint8_t* d) {
  auto parity = [](unsigned v) {
    unsigned p = 0;
    for (; v; v >>= 1) p ^= v & 1;
    return p;
  };
  unsigned e0 = 0, e1 = 0, low = 0, high = 0, x = 0;
  for (unsigned i = 0; i < kPageData; ++i) {
    const unsigned p = parity(d[i]);
    x ^= d[i];
    for (unsigned k = 0; k < 8; ++k) {
      if (i >> k & 1)
        e0 ^= p << k;
      else
        e1 ^= p << k;
    }
    (i < 256 ? low : high) ^= p;
  }
  const unsigned e2 = low | parity(x & 0x55) << 1 | parity(x & 0x33) << 2 | parity(x & 0x0F) << 3 | high << 4 |
                      parity(x & 0xAA) << 5 | parity(x & 0xCC) << 6 | parity(x & 0xF0) << 7;
  return {static_cast<std::uint8_t>(e0), static_cast<std::uint8_t>(e1), static_cast<std::uint8_t>(e2)};
}

PageEcc EccOfSingleBit(unsigned byte, unsigned bit) {
  Bytes page(kPageData, 0);
  page[byte] = static_cast<std::uint8_t>(1u << bit);
  return CalEccCheck(page.data());
}

Bytes Spare(const Bytes& block, int pageNumber) {
  const auto* at = &block[(pageNumber - 1) * kPageSize + kPageData];
  return Bytes(at, at + kSpareSize);
}

// A block of the given data with every spare area made as a conversion makes it.
Bytes MakeBlock(std::uint8_t fill, unsigned number, std::uint8_t version) {
  Bytes block(kBlockSize, 0);
  for (int p = 1; p <= kPagesPerBlock; ++p) {
    std::uint8_t* page = &block[(p - 1) * kPageSize];
    std::fill(page, page + kPageData, fill);
    WriteSpareArea(page, p, number, version);
  }
  StampBlockSum(block.data(), number);
  return block;
}

}  // namespace

TEST(PageEcc, WorkedExamples) {
  Bytes page(kPageData, 0x00);
  EXPECT_EQ(CalEccCheck(page.data()), (PageEcc{0x00, 0x00, 0x00}));
  page.assign(kPageData, 0xFF);
  EXPECT_EQ(CalEccCheck(page.data()), (PageEcc{0x00, 0x00, 0x00}));
  for (unsigned i = 0; i < kPageData; ++i) page[i] = static_cast<std::uint8_t>(i % 256);
  EXPECT_EQ(CalEccCheck(page.data()), (PageEcc{0x00, 0x00, 0x00}));

  page.assign(kPageData, 0x00);
  page[0] = 0x61, page[1] = 0x62, page[2] = 0x63;
  const PageChecks abc = CalPageChecks(page.data());
  EXPECT_EQ(abc.ecc, (PageEcc{0x01, 0x01, 0x66}));
  EXPECT_EQ(abc.pageXor, 0x60);

  EXPECT_EQ(EccOfSingleBit(0, 0), (PageEcc{0x00, 0xFF, 0x0F}));
  EXPECT_EQ(EccOfSingleBit(511, 7), (PageEcc{0xFF, 0x00, 0xF0}));
  EXPECT_EQ(EccOfSingleBit(256, 1), (PageEcc{0x00, 0xFF, 0x3C}));
  EXPECT_EQ(EccOfSingleBit(0x25, 4), (PageEcc{0x25, 0xDA, 0x87}));
}

TEST(PageEcc, EverySingleBitFollowsTheAddressRule) {
  for (unsigned a = 0; a < kPageData; ++a) {
    for (unsigned b = 0; b < 8; ++b) {
      const unsigned high = (a >> 8 & 1) << 4 | (b & 1) << 5 | (b >> 1 & 1) << 6 | (b >> 2 & 1) << 7;
      const PageEcc expected = {static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>(~a & 0xFF),
                                static_cast<std::uint8_t>(high | (~high >> 4 & 0x0F))};
      ASSERT_EQ(EccOfSingleBit(a, b), expected) << "byte " << a << " bit " << b;
    }
  }
}

TEST(PageEcc, RandomPagesMatchTheDefinitionAndAreLinear) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const Bytes a = RandomBytes(kPageData, random());
    // Sparse pages reach the corners that dense random ones hardly do.
    Bytes b(kPageData, 0);
    for (int n = round % 5; n >= 0; --n) b[random() % kPageData] ^= static_cast<std::uint8_t>(1u << random() % 8);
    Bytes both(kPageData);
    for (unsigned i = 0; i < kPageData; ++i) both[i] = a[i] ^ b[i];

    const PageChecks ca = CalPageChecks(a.data());
    ASSERT_EQ(ca.ecc, EccByDefinition(a.data()));
    ASSERT_EQ(CalEccCheck(b.data()), EccByDefinition(b.data()));
    const PageEcc eb = CalEccCheck(b.data()), eab = CalEccCheck(both.data());
    for (int k = 0; k < 3; ++k) ASSERT_EQ(eab[k], ca.ecc[k] ^ eb[k]);
    std::uint8_t x = 0;
    for (auto v : a) x ^= v;
    ASSERT_EQ(ca.pageXor, x);
  }
}

TEST(SpareArea, BlockOfZerosNumberedC32) {
  const Bytes block = MakeBlock(0x00, 0x0C32, 0x31);
  EXPECT_EQ(Spare(block, 1), (Bytes{0x32, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xAA, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  const Bytes middle = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xAA, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int p = 2; p <= 31; ++p) EXPECT_EQ(Spare(block, p), middle) << "page " << p;
  EXPECT_EQ(Spare(block, 32), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xAA, 0, 0xFF, 0xFF, 0x31, 0x54, 0x6F}));
  EXPECT_EQ(CalCheckSum(block.data()), 0x6F54);
}

TEST(SpareArea, BlockOfOnesNumbered2) {
  const Bytes block = MakeBlock(0xFF, 2, 0x31);
  const Bytes first = Spare(block, 1);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 11), (Bytes{0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xAA, 0}));
  const Bytes last = Spare(block, 32);
  EXPECT_EQ(Bytes(last.end() - 3, last.end()), (Bytes{0x31, 0x18, 0x2F}));
}

TEST(SpareArea, LogicalBlock1StaysBlank) {
  const Bytes block = MakeBlock(0x00, 1, 0x31);
  for (int p = 1; p <= kPagesPerBlock; ++p) EXPECT_EQ(Spare(block, p), Bytes(kSpareSize, 0xFF)) << "page " << p;
}
