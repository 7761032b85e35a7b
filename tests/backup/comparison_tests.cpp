#include <gtest/gtest.h>

#include <filesystem>

#include "backup/image_comparison.h"
#include "backup/verification.h"
#include "backup_sender.h"
#include "support/files.h"
#include "support/transfer_rig.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPage = 32768, kBlock = 16896;

class ComparisonTest : public TempFolderTest {
 protected:
  std::vector<UnitDifference> differences;

  ImageFile Image(const std::string& name, const Bytes& bytes) {
    WriteFile(dir / name, bytes);
    std::string problem;
    const std::optional<ImageFile> image = OpenImageFile((dir / name).string(), problem);
    EXPECT_TRUE(image) << problem;
    return image.value_or(ImageFile{});
  }

  ComparisonSummary Compare(const Bytes& a, const Bytes& b, ImageComparison::InScope scope = nullptr) {
    ImageComparison comparison(Image("a", a), std::move(scope),
                               [this](const UnitDifference& d) { differences.push_back(d); });
    std::string problem;
    EXPECT_TRUE(CompareImageFiles(comparison, Image("b", b), problem)) << problem;
    return comparison.summary();
  }
};

TEST_F(ComparisonTest, LayoutsAreToldApartByLength) {
  struct Case {
    Bytes bytes;
    std::optional<ImageLayout> wanted;
    std::string says;  // the extent, or the problem
  };
  const Case cases[] = {
      {WithTrailer(Bytes(3 * kBlock), 0x0C33), {}, "Nand映像, 3块, 逻辑块C33h-C35h"},
      {WithTrailer({}, 2), {}, "Nand映像, 0块, 开始逻辑块2h"},
      {Bytes(6 * kPage + 256), {}, "Nor映像, 7页 ($00-$06)"},  // a partial last page counts
      {Bytes(100), {}, "文件长度为100字节,既不是Nor映像(256字节的整数倍),也不是Nand映像(整块,每块16896字节,再加2字节)"},
      {Bytes(kPage), ImageLayout::Nand, "这是一个Nor映像,不是Nand映像"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "x", c.bytes);
    std::string problem;
    const std::optional<ImageFile> image = OpenImageFile((dir / "x").string(), problem, c.wanted);
    EXPECT_EQ(image ? DescribeExtent(image->extent) : problem, c.says);
  }
}

TEST_F(ComparisonTest, SingleBytesAreReportedWithTheirPageOrBlock) {
  const Bytes a = RandomBytes(4 * kBlock, 1);
  Bytes b = a;
  b[kBlock + 600] ^= 1;  // block 2, page 2
  b[kBlock + 9000] ^= 0xFF;
  b[3 * kBlock] ^= 4;  // block 4, its first byte
  const ComparisonSummary s = Compare(WithTrailer(a, 0x20), WithTrailer(b, 0x20));
  EXPECT_EQ(s.compared, 4);
  EXPECT_EQ(s.differing, 2);
  EXPECT_FALSE(s.Identical());
  ASSERT_EQ(differences.size(), 2u);
  EXPECT_EQ(DescribeDifference(ImageLayout::Nand, differences[0]),
            "第2块(逻辑块21h): 首个不同字节在块内偏移 258h (第2页), 不同字节数 2");
  EXPECT_EQ(DescribeDifference(ImageLayout::Nand, differences[1]),
            "第4块(逻辑块23h): 首个不同字节在块内偏移 0h (第1页), 不同字节数 1");

  differences.clear();
  const Bytes nor = RandomBytes(6 * kPage, 2);
  Bytes other = nor;
  other[5 * kPage + 0x1A2B] ^= 0x80;
  EXPECT_EQ(Compare(nor, other).differing, 1);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(DescribeDifference(ImageLayout::Nor, differences[0]), "第$05页: 首个不同字节在页内偏移 1A2Bh, 不同字节数 1");
  EXPECT_TRUE(Compare(nor, nor).Identical());
}

TEST_F(ComparisonTest, PagesAndBlocksMissingOnEitherSideOrOutOfScopeAreCounted) {
  const Bytes blocks = RandomBytes(6 * kBlock, 3), pages = RandomBytes(10 * kPage, 4);
  const auto part = [](const Bytes& b, std::size_t from, std::size_t to) { return Bytes(b.begin() + from, b.begin() + to); };
  struct Case {
    const char* what;
    Bytes a, b;
    ImageComparison::InScope scope;
    std::vector<int> expected;  // compared, differing, only in A, only in B, not compared
  };
  const Case cases[] = {
      {"NAND 2..5 against 4..7", WithTrailer(part(blocks, 0, 4 * kBlock), 2), WithTrailer(part(blocks, 2 * kBlock, 6 * kBlock), 4),
       nullptr, {2, 0, 2, 2, 0}},
      {"the same bytes under another start", WithTrailer(part(blocks, 0, 4 * kBlock), 2),
       WithTrailer(part(blocks, 0, 4 * kBlock), 3), nullptr, {3, 3, 1, 1, 0}},
      {"8 pages against 6½: the tail differs", part(pages, 0, 8 * kPage), part(pages, 0, 6 * kPage + kPage / 2),
       nullptr, {7, 1, 1, 0, 0}},
      {"pages 0 and 1 in scope", part(pages, 0, 8 * kPage), pages, [](int page) { return page < 2; },
       {2, 0, 0, 0, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ComparisonSummary s = Compare(c.a, c.b, c.scope);
    EXPECT_EQ((std::vector<int>{s.compared, s.differing, s.onlyInFirst, s.onlyInSecond, s.notCompared}), c.expected);
    EXPECT_EQ(s.Identical(), c.expected[1] + c.expected[2] + c.expected[3] == 0);
  }
  // The partial page: its first missing byte, and every missing byte counted.
  ASSERT_FALSE(differences.empty());
  EXPECT_EQ(std::pair(differences.back().bytes.firstOffset, differences.back().bytes.count),
            std::pair(kPage / 2, kPage / 2));
  EXPECT_EQ(DescribeSummary(ImageLayout::Nor, Compare(part(pages, 0, 8 * kPage), pages), "A", "B"),
            (std::vector<std::string>{"比较的页数: 8", "不同的页数: 0", "只在A中的页数: 0", "只在B中的页数: 2",
                                      "结果: 不同"}));
}

// --- the verification: a backup compared as it arrives ---

class VerificationTest : public ComparisonTest, public TransferRig {};

TEST_F(VerificationTest, ARestartedVerificationComparesAfreshAndWritesNothing) {
  const Bytes blocks = RandomBytes(3 * kBlock, 6);
  Bytes file = blocks;
  file[2 * kBlock + 5] ^= 1;
  // The handheld sends logical block 1 on (block number 1FFF), and a bad
  // payload in its first attempt.
  BackupSender sender(BackupSender::Flash::Nand, blocks, 921600, 0x1FFF);
  sender.faults.badPayloadAt = 70;
  port.Attach(&sender);
  host.answers = {true};

  ImageComparison comparison(Image("x.nand", WithTrailer(file, 1)), nullptr,
                             [this](const UnitDifference& d) { differences.push_back(d); });
  ASSERT_EQ(VerifyNand(m, comparison), BackupEnding::Success);

  EXPECT_EQ(host.questions, std::vector<std::string>{"您要重新开始备份吗?"});
  const ComparisonSummary& s = comparison.summary();
  EXPECT_EQ(s.compared, 3);
  EXPECT_EQ(s.differing, 1);
  EXPECT_EQ(DescribeExtent(s.second), "Nand映像, 3块, 逻辑块1h-3h");
  ASSERT_FALSE(differences.empty());
  EXPECT_EQ(differences.back().number, 3);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "nothing but x.nand";
  EXPECT_FALSE(port.isOpen);
  EXPECT_FALSE(host.locked);
}

}  // namespace
