#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "common/image_layout.h"
#include "converter/conversions.h"
#include "image_check/page_ecc.h"
#include "image_check/spare_area.h"
#include "converter/verify.h"
#include "recording_host.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace nand;

namespace {

PageEcc Flip(PageEcc ecc, int bit) {
  ecc[bit / 8] ^= static_cast<std::uint8_t>(1u << bit % 8);
  return ecc;
}

class VerifyTest : public TempFolderTest {
 protected:
  RecordingHost host;
  VerifySummary summary;
  std::vector<VerifyFinding> findings;

  // An image of `blocks` random blocks made by Data2Nand.
  Bytes MakeImage(int blocks, const std::string& start, unsigned seed) {
    WriteFile(At("x.dat"), RandomBytes(blocks * kDataBlockSize, seed));
    RecordingHost maker;
    fs::remove(At("x.nand"));
    EXPECT_EQ(Data2Nand(maker, At("x.dat"), At("x.nand"), start), ConversionResult::Success);
    return ReadFile(At("x.nand"));
  }
  VerifyResult Verify(const std::string& image) {
    findings.clear();
    return VerifyImage(host, image, [this](const VerifyFinding& f) { findings.push_back(f); }, summary);
  }
  VerifyResult Repair(const std::string& image, const std::string& target) {
    findings.clear();
    return RepairImage(host, image, target, [this](const VerifyFinding& f) { findings.push_back(f); }, summary);
  }
};

}  // namespace

TEST(EccVerdictTest, TheClassicMatrixOnRandomPages) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const Bytes original = RandomBytes(kPageData, random());
    const PageEcc stored = CalEccCheck(original.data());
    EXPECT_EQ(JudgeEcc(stored, stored).kind, EccVerdict::Clean);

    // One data bit: located and put right.
    const int byte = static_cast<int>(random() % kPageData), bit = static_cast<int>(random() % 8);
    Bytes page = original;
    page[byte] ^= static_cast<std::uint8_t>(1u << bit);
    const EccVerdict one = JudgeEcc(stored, CalEccCheck(page.data()));
    ASSERT_EQ(one.kind, EccVerdict::DataBit);
    EXPECT_EQ(one.byte, byte);
    EXPECT_EQ(one.bit, bit);
    CorrectDataBit(page.data(), one);
    EXPECT_EQ(page, original);

    // One bit of the stored ECC: the data is left alone.
    const int eccBit = static_cast<int>(random() % 24);
    const EccVerdict eccOnly = JudgeEcc(Flip(stored, eccBit), stored);
    EXPECT_EQ(eccOnly.kind, EccVerdict::EccOnly);
    page = original;
    CorrectDataBit(page.data(), eccOnly);
    EXPECT_EQ(page, original);

    // Two data bits, a data bit and an ECC bit, two ECC bits: uncorrectable.
    int byte2 = static_cast<int>(random() % kPageData), bit2 = static_cast<int>(random() % 8);
    if (byte2 == byte && bit2 == bit) bit2 = (bit2 + 1) % 8;
    Bytes two = original;
    two[byte] ^= static_cast<std::uint8_t>(1u << bit);
    two[byte2] ^= static_cast<std::uint8_t>(1u << bit2);
    const PageEcc eccOfTwo = CalEccCheck(two.data());
    EXPECT_EQ(JudgeEcc(stored, eccOfTwo).kind, EccVerdict::Uncorrectable);
    page = original;
    page[byte] ^= static_cast<std::uint8_t>(1u << bit);
    EXPECT_EQ(JudgeEcc(Flip(stored, eccBit), CalEccCheck(page.data())).kind, EccVerdict::Uncorrectable);
    const int eccBit2 = (eccBit + 1 + static_cast<int>(random() % 23)) % 24;
    EXPECT_EQ(JudgeEcc(Flip(Flip(stored, eccBit), eccBit2), stored).kind, EccVerdict::Uncorrectable);
  }
}

TEST_F(VerifyTest, AnImageFromData2NandIsClean) {
  // Logical block 1 (all FF, nothing to check its data by, even changed) and two ordinary blocks.
  Bytes block1 = MakeImage(3, "1", 1);
  block1[100] ^= 1;
  WriteFile(At("x.nand"), block1);
  EXPECT_EQ(Verify(At("x.nand")), VerifyResult::Clean);
  EXPECT_TRUE(findings.empty());
  EXPECT_EQ(summary.pagesChecked, 96u);
  EXPECT_EQ(summary.pagesClean, 64u);
  EXPECT_EQ(DescribeSummary(summary, false)[3], "未检查页数: 32 (逻辑块1没有校验数据)");
  EXPECT_TRUE(host.convertEnabled);

  // An erased block (data and spare areas all FF) is no error either.
  Bytes image = MakeImage(2, "2", 2);
  image.insert(image.end() - kTrailerSize, kBlockSize, 0xFF);
  WriteFile(At("erased.nand"), image);
  EXPECT_EQ(Verify(At("erased.nand")), VerifyResult::Clean);
  EXPECT_EQ(DescribeSummary(summary, false)[2], "已擦除页数: 32");
}

TEST_F(VerifyTest, HundredFlippedBitsAreFoundAndRepaired) {
  const Bytes image = MakeImage(8, "C32", 2);
  Bytes damaged = image;
  std::mt19937 random(3);
  std::set<int> pages;
  while (pages.size() < 100) pages.insert(static_cast<int>(random() % (8 * 32)));
  for (const int page : pages) {
    const std::size_t at = page / 32 * kBlockSize + page % 32 * kPageSize + random() % kPageData;
    damaged[at] ^= static_cast<std::uint8_t>(1u << random() % 8);
  }
  WriteFile(At("damaged.nand"), damaged);

  EXPECT_EQ(Verify(At("damaged.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.pagesDataBit, 100u);
  EXPECT_EQ(summary.pagesClean, 256u - 100u);
  std::set<int> reported;
  for (const auto& f : findings)
    if (f.what == "ECC") reported.insert(static_cast<int>((f.block - 1) * 32 + f.page - 1));
  EXPECT_EQ(reported, pages);

  EXPECT_EQ(Repair(At("damaged.nand"), At("repaired.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.bitsCorrected, 100u);
  EXPECT_EQ(ReadFile(At("repaired.nand")), image);
  EXPECT_EQ(ReadFile(At("damaged.nand")), damaged);
  EXPECT_EQ(Verify(At("repaired.nand")), VerifyResult::Clean);
}

TEST_F(VerifyTest, ASyndromeThePageXorDoesNotConfirmChangesNothing) {
  // Erased ECC bytes over data whose only set bit is bit 0 of byte 7 look
  // like one wrong bit (byte 504, bit 7); the page XOR says the data is right.
  Bytes image = MakeImage(2, "C32", 5);
  std::uint8_t* page = &image[kPageSize];  // block 1, page 2
  std::fill(page, page + kPageData, 0);
  page[7] = 0x01;
  std::fill(page + kPageData + 6, page + kPageData + 9, 0xFF);
  page[kPageData + 10] = 0x01;
  // The block sum agrees with the bit put right: only the page XOR tells.
  Bytes corrected = image;
  corrected[kPageSize + 504] ^= 0x80;
  const std::uint16_t sum = CalCheckSum(corrected.data());
  image[kBlockSumOffset] = static_cast<std::uint8_t>(sum & 0xFF);
  image[kBlockSumOffset + 1] = static_cast<std::uint8_t>(sum >> 8);
  WriteFile(At("erased.nand"), image);

  EXPECT_EQ(Verify(At("erased.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.pagesDataBit, 0u);
  EXPECT_EQ(summary.pagesUncorrectable, 1u);
  EXPECT_EQ(Repair(At("erased.nand"), At("copy.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.bitsCorrected, 0u);
  EXPECT_EQ(ReadFile(At("copy.nand")), image);
}

TEST_F(VerifyTest, EditedPagesAreNeverCorrected) {
  // 2 to 6 random data bytes of every page edited, spare areas left alone:
  // some pages point the ECC and the page XOR at one bit by chance.
  Bytes edited = MakeImage(128, "20", 7);
  std::mt19937 random(8);
  for (int page = 0; page < 128 * kPagesPerBlock; ++page)
    for (int e = 2 + static_cast<int>(random() % 5); e > 0; --e)
      edited[page / 32 * kBlockSize + page % 32 * kPageSize + random() % kPageData] ^= 1 + random() % 255;
  WriteFile(At("edited.nand"), edited);
  EXPECT_EQ(Repair(At("edited.nand"), At("copy.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.bitsCorrected, 0u);
  EXPECT_EQ(ReadFile(At("copy.nand")), edited);
  EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const VerifyFinding& f) { return f.note == "无法确认为单个数据位有误,不予纠正"; }));
}

TEST_F(VerifyTest, EverySingleBitErrorInAnIntactBlockIsCorrected) {
  // Page i gets bit i % 8 of byte i / 8 flipped: every bit of a page once, 32 errors a block.
  const Bytes image = MakeImage(128, "C32", 9);
  Bytes damaged = image;
  for (std::size_t i = 0; i < kPageData * 8; ++i) damaged[i / 32 * kBlockSize + i % 32 * kPageSize + i / 8] ^= 1u << i % 8;
  WriteFile(At("damaged.nand"), damaged);
  EXPECT_EQ(Repair(At("damaged.nand"), At("repaired.nand")), VerifyResult::Differs);
  EXPECT_EQ(summary.bitsCorrected, kPageData * 8);
  EXPECT_EQ(ReadFile(At("repaired.nand")), image);
}

TEST_F(VerifyTest, ABitStaysWhereTheSpareAreaOrTheBlockSumDisagrees) {
  // One bit of block 1, page 3, and one more byte changed: its marker, a fill
  // byte, the block number, the block sum, another page's data.
  const std::size_t bit = 2 * kPageSize + 100, spare = 2 * kPageSize + kPageData;
  for (std::size_t other : {spare + 9, spare + 3, kPageData, kBlockSumOffset, 7 * kPageSize + 5}) {
    Bytes damaged = MakeImage(2, "40", 10);
    damaged[bit] ^= 0x10;
    damaged[other] ^= 0x24;
    WriteFile(At("damaged.nand"), damaged);
    fs::remove(At("copy.nand"));
    EXPECT_EQ(Repair(At("damaged.nand"), At("copy.nand")), VerifyResult::Differs) << other;
    EXPECT_EQ(ReadFile(At("copy.nand")), damaged) << other;
  }
}

TEST_F(VerifyTest, FindingsNameTheBlockAndWhatDiffers) {
  Bytes image = MakeImage(4, "20", 4);
  image[2 * kBlockSize + kBlockSumOffset] ^= 0x01;      // block 3: its sum
  image[1 * kBlockSize + kPageData] ^= 0x01;            // block 2, page 1: the logical block number
  image[3 * kBlockSize + 4 * kPageSize + kPageData + 6] ^= 0x80;  // block 4, page 5: an ECC bit
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Verify(At("x.nand")), VerifyResult::Differs);
  ASSERT_EQ(findings.size(), 5u);
  EXPECT_EQ(DescribeFinding(findings[0]), "第2块(逻辑块21h)第1页: 逻辑块号 存储 20 00, 计算 21 00");
  // The number is part of the block sum, so block 2's sum differs as well.
  EXPECT_EQ(findings[1].block, 2u);
  EXPECT_EQ(findings[1].what, "块校验和");
  EXPECT_EQ(findings[2].block, 3u);
  EXPECT_EQ(findings[2].page, 32);
  EXPECT_EQ(findings[2].what, "块校验和");
  EXPECT_EQ(findings[3].block, 4u);
  EXPECT_EQ(findings[3].page, 5);
  EXPECT_EQ(findings[3].note, "仅ECC字节有误,数据无误");
  EXPECT_EQ(findings[4].what, "块校验和");  // the ECC bytes count in the sum too
  EXPECT_EQ(summary.pagesEccOnly, 1u);
  EXPECT_EQ(summary.pagesOther, 1u);
  EXPECT_EQ(summary.blocksSumDiffers, 3u);
}

TEST_F(VerifyTest, LogicalBlock1MustStayBlankAndTheVersionMustBeDigits) {
  Bytes image = MakeImage(2, "1", 5);
  image[3 * kPageSize + kPageData + 9] = 0xAA;                // block 1 (logical 1), page 4
  image[kBlockSize + 31 * kPageSize + kPageData + 13] = 0x3A;  // block 2, version byte
  WriteFile(At("x.nand"), image);
  EXPECT_EQ(Verify(At("x.nand")), VerifyResult::Differs);
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_EQ(findings[0].block, 1u);
  EXPECT_EQ(findings[0].page, 4);
  EXPECT_EQ(findings[0].what, "备用区");
  EXPECT_EQ(findings[1].what, "版本号");
  EXPECT_EQ(findings[1].stored, "3A");
  EXPECT_EQ(findings[2].what, "块校验和");
}

TEST_F(VerifyTest, RefusalsAndTheCopysTarget) {
  WriteFile(At("bad.nand"), Bytes(kBlockSize, 0));
  EXPECT_EQ(Verify(At("bad.nand")), VerifyResult::Refused);
  EXPECT_EQ(host.messages, std::vector<std::string>{"打开的文件大小错误!\r\n请重新填写."});

  MakeImage(1, "2", 6);
  host.messages.clear();
  EXPECT_EQ(Repair(At("x.nand"), (dir / "." / "x.nand").string()), VerifyResult::Refused);
  EXPECT_EQ(host.messages, std::vector<std::string>{"文件路径相同,请重新填写!"});
  WriteFile(At("out.nand"), {'o', 'l', 'd'});
  EXPECT_EQ(Repair(At("x.nand"), At("out.nand")), VerifyResult::Declined);
  EXPECT_EQ(host.questions.back(), "文件已存在,要覆盖吗?");
  EXPECT_EQ(ReadFile(At("out.nand")), (Bytes{'o', 'l', 'd'}));
}
