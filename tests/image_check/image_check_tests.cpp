// What `tolvar check` and a backup's verdict make of NOR and NAND images,
// sound or with one thing wrong.
#include <gtest/gtest.h>

#include <functional>

#include "common/hex_text.h"
#include "image_check/image_check.h"
#include "image_check/spare_area.h"
#include "support/files.h"
#include "support/temp_folder.h"

using namespace nand;

namespace {

// `blocks` blocks of random data from logical block `start` on, with spare
// areas and block sums by the rules.
Bytes NandImage(int blocks, unsigned start) {
  Bytes image = RandomBytes(blocks * kBlockSize, start);
  for (int b = 0; b < blocks; ++b) {
    std::uint8_t* block = &image[b * kBlockSize];
    for (int p = 0; p < kPagesPerBlock; ++p) WriteSpareArea(block + p * kPageSize, p + 1, start + b, 0x31);
    StampBlockSum(block, start + b);
  }
  return WithTrailer(image, start);
}

// `pages` random pages whose check values are right.
Bytes NorImage(int pages) {
  Bytes image = RandomBytes(pages * nor::kPageSize, 7);
  StoreNorValues(image.data(), image.size());
  return image;
}

Bytes With(Bytes image, const std::function<void(Bytes&)>& change) {
  change(image);
  return image;
}

constexpr std::size_t Page(int block, int page) { return block * kBlockSize + (page - 1) * kPageSize; }

class ImageCheckTest : public TempFolderTest {
 protected:
  ImageCheck Check(const Bytes& image) {
    WriteFile(At("x"), image);
    return CheckImageFile(At("x"));
  }
};

}  // namespace

TEST_F(ImageCheckTest, TheVerdictNamesWhatIsNotSound) {
  const Bytes nand = NandImage(3, 0xC32), nor = NorImage(8), block1 = NandImage(2, 1);
  const std::string sound = "检查: 全部正确", unchecked = " (逻辑块1没有校验数据, 未检查)";
  const std::string block1Line = "逻辑块1h: 32页未检查 (逻辑块1没有校验数据)";
  struct Case {
    const char* what;
    Bytes image;
    std::string verdict;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {"NOR", nor, sound, {}},
      {"stale CRC", With(nor, [](Bytes& b) { ++b[0x20005], --b[5]; }), "检查: CRC不符", {}},
      {"stale sum", With(nor, [](Bytes& b) { ++b[5]; }), "检查: NorCheckSum不符", {}},
      {"5 NOR pages", NorImage(5), "检查: 不是6到256个整页", {}},
      {"NAND", nand, sound, {}},
      // Logical block 1 has no spare-area checks: its pages are neither sound nor damaged.
      {"logical block 1, data changed", With(block1, [](Bytes& b) { b[100] ^= 1, b[5000] ^= 0x40; }), sound + unchecked,
       {block1Line}},
      {"logical block 1 and a data bit", With(block1, [](Bytes& b) { b[Page(1, 2) + 7] ^= 1; }),
       "检查: 可纠正的单位数据错误 1页" + unchecked, {block1Line, "逻辑块2h 第2页: 数据第7字节第0位有误,可纠正"}},
      {"past FFFh", NandImage(3, 0xFFE), "检查: 逻辑块号超出1h-FFFh", {}},
      {"erased block", With(nand, [](Bytes& b) { std::fill_n(&b[kBlockSize], kBlockSize, 0xFF); }), sound, {}},
      {"data bit", With(nand, [](Bytes& b) { b[Page(1, 3) + 100] ^= 0x10; }), "检查: 可纠正的单位数据错误 1页",
       {"逻辑块C33h 第3页: 数据第100字节第4位有误,可纠正"}},
      {"ECC bit", With(nand, [](Bytes& b) { b[Page(0, 5) + kPageData + 7] ^= 0x80; }), "检查: 仅ECC字节有误 1页",
       {"逻辑块C32h 第5页: ECC字节E1第7位有误,数据无误"}},
      {"block sum", With(nand, [](Bytes& b) { b[2 * kBlockSize + kBlockSumOffset] ^= 1; }), "检查: 块校验和不符 1块",
       {"逻辑块C34h: 块校验和不符"}},
      {"two data bits", With(nand, [](Bytes& b) { b[Page(0, 2) + 10] ^= 1, b[Page(0, 2) + 20] ^= 2; }),
       "检查: 损坏 1页, 块校验和不符 1块", {"逻辑块C32h 第2页: 损坏,不符: ECC, 页异或", "逻辑块C32h: 块校验和不符"}},
      // Files that hold nothing to check are refused, as compare refuses them.
      {"no block", WithTrailer({}, 2), "检查: 无法检查 (文件长度为2字节,只有开始逻辑块号,没有一块数据)", {}},
      {"empty", {}, "检查: 无法检查 (文件长度为0字节,是空文件)", {}},
      {"one NOR frame", Bytes(256), "检查: 无法检查 (文件长度为256字节,应为6到256个整页(每页32768字节))", {}},
      {"neither", Bytes(100), "检查: 无法检查 (文件长度为100字节,既不是Nor映像(256字节的整数倍),也不是Nand映像(整块,每块16896字节,再加2字节))", {}},
  };
  for (const Case& c : cases) {
    const ImageCheck check = Check(c.image);
    EXPECT_EQ(Verdict(check), c.verdict) << c.what;
    EXPECT_EQ(check.Sound(), c.verdict.rfind(sound, 0) == 0) << c.what;  // logical block 1 is no problem
    EXPECT_EQ(check.listed, c.listed) << c.what;
  }
  // Corvane's copy is offered for one-bit errors, and not as the remedy of damaged pages beside them.
  const auto dataBit = [](Bytes& b) { b[Page(1, 3) + 100] ^= 0x10; };
  const std::string alone = VerdictAdvice(Check(With(nand, dataBit)));
  const std::string mixed = VerdictAdvice(Check(With(With(nand, dataBit), [](Bytes& b) { b[Page(0, 2) + 10] ^= 3; })));
  EXPECT_NE(alone.find(", 或用 corvane verify --repair 写出纠正后的副本."), std::string::npos) << alone;
  EXPECT_NE(mixed.find("损坏的页和块校验和不能这样纠正"), std::string::npos) << mixed;
}

TEST_F(ImageCheckTest, TheReportListsTheFirst20PagesThenTheTotals) {
  const ImageCheck many = Check(With(NandImage(2, 2), [](Bytes& b) {
    for (int p = 0; p < 25; ++p) b[Page(p / 16, p % 16 + 1) + p] ^= 0x01;
  }));
  const std::vector<std::string> lines = DescribeCheck(many);
  ASSERT_EQ(lines.size(), 1 + 20 + 1 + 8 + 1u);
  EXPECT_EQ(lines[0], "文件: " + At("x") + ": Nand映像, 2块, 逻辑块2h-3h");
  EXPECT_EQ(lines[20], "逻辑块3h 第4页: 数据第19字节第0位有误,可纠正");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 21, lines.end()),
            (std::vector<std::string>{"另有 5处未列出", "检查页数: 64", "无误页数: 39", "已擦除页数: 0", "未检查页数: 0",
                                      "可纠正的单位数据错误页数: 25", "仅ECC字节有误页数: 0", "损坏页数: 0",
                                      "块校验和不符块数: 0", "检查: 可纠正的单位数据错误 25页"}));

  const ImageCheck nor = Check(With(NorImage(6), [](Bytes& b) { b[nor::kCheckSumOffset] ^= 0xFF; }));
  const auto StoredBytes = [](std::uint16_t value) { return HexBytes(LowByteFirst(value).data(), 2); };
  EXPECT_EQ(DescribeCheck(nor), (std::vector<std::string>{
                                    "文件: " + At("x") + ": Nor映像, 6页",
                                    "CRC (0x1FFF0): 文件中为 " + StoredBytes(nor.nor->crc) + ", 计算值为 " +
                                        StoredBytes(nor.nor->crc) + ", 正确",
                                    "NorCheckSum (0x1FFFE): 文件中为 " + StoredBytes(nor.nor->storedSum) +
                                        ", 计算值为 " + StoredBytes(nor.nor->sum) + ", 不符",
                                    "检查: NorCheckSum不符"}));
  EXPECT_NE(nor.nor->storedSum, nor.nor->sum);
}
