#include <filesystem>
#include <string>
#include <tuple>

#include "repair/nor_check_values.h"
#include "repair_test_support.h"

namespace fs = std::filesystem;

namespace {

// The correction done the slow way: one byte at a time through CrcByteTable,
// its low and high halves kept apart.
std::uint16_t ReferenceCrc(const Bytes& image) {
  const auto table = CrcByteTable();
  std::uint8_t r0 = 0xFF, r1 = 0xFF;
  auto take = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
      const std::uint8_t idx = r0 ^ image[k];
      r0 = table[256 + idx] ^ r1;
      r1 = table[idx];
    }
  };
  take(0x10000, 0x1FFF0);
  take(0x20000, image.size());
  return static_cast<std::uint16_t>(((~r1 & 0xFF) << 8) | (~r0 & 0xFF));
}

std::uint16_t ReferenceSum(const Bytes& image) {
  unsigned sum = 0;
  for (std::size_t k = 0; k < image.size(); ++k)
    if (k != 0x1FFFE && k != 0x1FFFF) sum += image[k];
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t PairAt(const Bytes& image, std::size_t at) { return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8); }

class CheckValuesTest : public RepairFixture {
 public:
  fs::path file = dir / "x.nor";
  // Both corrections in their order; returns the image afterwards.
  Bytes Correct() {
    sum = CalNorCheckSum(host, file.string());
    crc = CalNorCrc(host, file.string());
    return ReadFile(file);
  }
  CheckFix sum, crc;
};

TEST(NorCrc, MatchesTheCatalogueValueAndTheByteTable) {
  const std::string digits = "123456789";
  NorCrc crc;
  crc.Update(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size());
  EXPECT_EQ(crc.Value(), 0x906E);  // stored as 6E 90

  const auto table = CrcByteTable();
  EXPECT_EQ(table[1] << 8 | table[257], 0x1189);
  EXPECT_EQ(table[128] << 8 | table[384], 0x8408);
  EXPECT_EQ(table[255] << 8 | table[511], 0x0F78);

  // A running value does not depend on how the bytes are handed in.
  const Bytes data = RandomBytes(1000, 3);
  for (std::size_t split : {0u, 1u, 7u, 8u, 9u, 333u, 999u}) {
    NorCrc whole, parts;
    whole.Update(data.data(), data.size());
    parts.Update(data.data(), split);
    parts.Update(data.data() + split, data.size() - split);
    EXPECT_EQ(whole.Value(), parts.Value()) << split;
  }
}

TEST_F(CheckValuesTest, CorrectsBothValuesOverTheirCoverage) {
  for (int pages : {6, 9}) {
    Bytes image = RandomBytes(pages * 32768, pages);
    WriteFile(file, image);
    const Bytes fixed = Correct();
    ASSERT_TRUE(sum.ok && crc.ok);
    EXPECT_TRUE(sum.written && crc.written);
    EXPECT_EQ(PairAt(fixed, 0x1FFF0), ReferenceCrc(fixed));
    // The sum counts the new CRC bytes: the image agrees with itself after one run.
    EXPECT_EQ(PairAt(fixed, 0x1FFFE), ReferenceSum(fixed));
    EXPECT_EQ(sum.stored, PairAt(image, 0x1FFFE));
    EXPECT_EQ(crc.computed, ReferenceCrc(fixed));
    // Nothing but the four bytes changed.
    for (std::size_t at : {0x1FFF0, 0x1FFF1, 0x1FFFE, 0x1FFFF}) image[at] = fixed[at];
    EXPECT_EQ(image, fixed);
    EXPECT_EQ(host.statusHistory.back(), "校正CRC...");
    EXPECT_EQ(host.statusHistory.end()[-2], "计算NorCheckSum...");
  }
}

TEST_F(CheckValuesTest, ACorrectImageIsReadButNotWritten) {
  WriteFile(file, RandomBytes(6 * 32768, 1));
  Correct();
  const Bytes before = ReadFile(file);
  const auto stamp = fs::last_write_time(file);
  const Bytes after = Correct();
  EXPECT_TRUE(sum.ok && crc.ok);
  EXPECT_FALSE(sum.written || crc.written);
  EXPECT_EQ(before, after);
  EXPECT_EQ(stamp, fs::last_write_time(file));
}

TEST_F(CheckValuesTest, CoverageOfEachValue) {
  WriteFile(file, RandomBytes(7 * 32768, 4));
  const Bytes settled = Correct();
  struct Case {
    std::size_t at;
    bool movesCrc;
  };
  for (Case c : {Case{0x0, false}, Case{0xFFFF, false}, Case{0x1FFF2, false}, Case{0x1FFFD, false},
                 Case{0x10000, true}, Case{0x1FFEF, true}, Case{0x20000, true}, Case{7 * 32768 - 1, true}}) {
    Bytes image = settled;
    image[c.at] ^= 0x5A;
    WriteFile(file, image);
    const Bytes fixed = Correct();
    EXPECT_TRUE(sum.written) << std::hex << c.at;
    EXPECT_EQ(crc.written, c.movesCrc) << std::hex << c.at;
    EXPECT_NE(PairAt(fixed, 0x1FFFE), PairAt(settled, 0x1FFFE)) << std::hex << c.at;
  }
}

TEST_F(CheckValuesTest, AnEditedImageIsConsistentAfterOneRun) {
  WriteFile(file, RandomBytes(6 * 32768, 5));
  Bytes edited = Correct();
  edited[0x24000] ^= 0x40;  // page 04: a new CRC, and a sum that counts it
  WriteFile(file, edited);
  Correct();
  EXPECT_TRUE(sum.written && crc.written);
  const CheckFix sumRead = VerifyNorCheckSum(file.string()), crcRead = VerifyNorCrc(file.string());
  EXPECT_EQ(sumRead.stored, sumRead.computed);
  EXPECT_EQ(crcRead.stored, crcRead.computed);
}

TEST_F(CheckValuesTest, OneReadingGivesWhatTheTwoPassesGive) {
  Bytes wrongCrcOnly = RandomBytes(6 * 32768, 8);
  const std::uint16_t matchingSum = ReferenceSum(wrongCrcOnly);
  wrongCrcOnly[0x1FFFE] = matchingSum & 0xFF;
  wrongCrcOnly[0x1FFFF] = matchingSum >> 8;
  for (const Bytes& start : {RandomBytes(8 * 32768, 7), wrongCrcOnly}) {
    WriteFile(file, start);
    const Bytes twoPasses = Correct();
    WriteFile(file, start);
    CheckFix oneSum, oneCrc;
    ASSERT_TRUE(CorrectNorCheckValues(host, file.string(), oneSum, oneCrc));
    EXPECT_EQ(ReadFile(file), twoPasses);
    EXPECT_EQ(std::make_tuple(oneSum.stored, oneSum.computed, oneSum.written), std::make_tuple(sum.stored, sum.computed, sum.written));
    EXPECT_EQ(std::make_tuple(oneCrc.stored, oneCrc.computed, oneCrc.written), std::make_tuple(crc.stored, crc.computed, crc.written));
    EXPECT_EQ(host.statusHistory.end()[-2], "计算NorCheckSum...");
    EXPECT_EQ(host.statusHistory.back(), "校正CRC...");
  }
}

TEST_F(CheckValuesTest, AnImageThatCannotBeWrittenIsLeftAlone) {
  const Bytes image = RandomBytes(6 * 32768, 6);
  WriteFile(file, image);
  if (!MakeReadOnly(file)) GTEST_SKIP() << "cannot make a file read-only here";
  EXPECT_FALSE(CalNorCheckSum(host, file.string()).ok);
  EXPECT_FALSE(CalNorCrc(host, file.string()).ok);
  CheckFix s, c;
  EXPECT_FALSE(CorrectNorCheckValues(host, file.string(), s, c));
  EXPECT_EQ(ReadFile(file), image);
  EXPECT_FALSE(CalNorCrc(host, (dir / "missing.nor").string()).ok);
}

}  // namespace
