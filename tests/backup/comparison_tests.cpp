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
    std::string says;  // the extent, or the problem after the file's name
  };
  const Case cases[] = {
      {WithTrailer(Bytes(3 * kBlock), 0x0C33), {}, "Nand映像, 3块, 逻辑块C33h-C35h"},
      {Bytes(6 * kPage + 256), {}, "Nor映像, 7页 ($00-$06)"},  // a partial last page counts
      {Bytes(100), {}, "文件长度为100字节,既不是Nor映像(256字节的整数倍),也不是Nand映像(整块,每块16896字节,再加2字节)"},
      {Bytes(kPage), ImageLayout::Nand, "文件长度为32768字节,这是一个Nor映像,不是Nand映像"},
      // Nothing to compare is no image.
      {{}, {}, "文件长度为0字节,是空文件"},
      {WithTrailer({}, 2), ImageLayout::Nand, "文件长度为2字节,只有开始逻辑块号,没有一块数据"},
  };
  const std::string path = At("x");
  for (const Case& c : cases) {
    WriteFile(path, c.bytes);
    std::string problem;
    const std::optional<ImageFile> image = OpenImageFile(path, problem, c.wanted);
    EXPECT_EQ(image ? DescribeExtent(image->extent) : problem, image ? c.says : path + ": " + c.says);
  }
}

// compare judges each file on its own, and of two layouts blames the one
// that is wrong, by name and length.
TEST_F(ComparisonTest, APairNamesTheFileThatIsWrong) {
  const Bytes nand = WithTrailer(Bytes(2 * kBlock), 2), nor = Bytes(6 * kPage);
  struct Case {
    Bytes a, b;
    const char* wrong;   // the file named, none when the pair may be compared
    std::string reason;
  };
  const Case cases[] = {
      {nand, nand, nullptr, ""},
      {Bytes(2 * kBlock), Bytes(2 * kBlock), nullptr, ""},  // two NOR-shaped files compare as NOR
      {{}, nand, "a", "文件长度为0字节,是空文件"},
      {nand, WithTrailer({}, 2), "b", "文件长度为2字节,只有开始逻辑块号,没有一块数据"},
      {Bytes(2 * kBlock), nand, "a", "文件长度为33792字节,应为整块(每块16896字节)再加2字节"},
      {nand, Bytes(2 * kBlock), "b", "文件长度为33792字节,应为整块(每块16896字节)再加2字节"},
      {nor, nand, "b", "文件长度为33794字节,这是一个Nand映像,不是Nor映像"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "a", c.a);
    WriteFile(dir / "b", c.b);
    std::string problem;
    const std::optional<ImagePair> pair = OpenImagePair(At("a"), At("b"), problem);
    EXPECT_EQ(pair ? "" : problem, c.wrong ? At(c.wrong) + ": " + c.reason : "");
  }
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
