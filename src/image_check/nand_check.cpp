#include "image_check/nand_check.h"

#include <algorithm>
#include "common/hex_text.h"
#include "image_check/spare_area.h"

namespace nand {

namespace {

constexpr std::uint64_t kBlocksPerChunk = 16;

bool AllAre(const std::uint8_t* bytes, std::size_t count, std::uint8_t value) {
  return std::all_of(bytes, bytes + count, [value](std::uint8_t b) { return b == value; });
}

// A spare area as it is erased.
const std::array<std::uint8_t, kSpareSize> kBlankSpare = [] {
  std::array<std::uint8_t, kSpareSize> blank;
  blank.fill(0xFF);
  return blank;
}();

const char* const kEcc = "ECC";
const char* const kPageXor = "页异或";

std::string DescribeBit(const EccVerdict& verdict) {
  return "第" + std::to_string(verdict.byte) + "字节第" + std::to_string(verdict.bit) + "位有误";
}

// What flipping `bit` of `byte` adds to a block sum.
int SumChange(std::uint8_t byte, int bit) { return (byte ^ (1 << bit)) - byte; }

// Checks one block; see CheckBlock.
class BlockChecker {
 public:
  BlockChecker(const std::uint8_t* block, std::uint64_t blockNumber, unsigned logicalBlock) : block_(block) {
    check_.block = blockNumber;
    check_.logicalBlock = logicalBlock;
  }

  BlockCheck Run() {
    bool allErased = true;
    for (int p = 0; p < kPagesPerBlock; ++p) {
      const std::uint8_t* page = block_ + p * kPageSize;
      if (AllAre(page, kPageSize, 0xFF)) {
        check_.pages[p].kind = PageVerdict::Erased;
        continue;
      }
      allErased = false;
      firstFinding_[p] = check_.findings.size();
      check_.pages[p].ecc = check_.logicalBlock == 1 ? CheckBlankPage(page, p + 1) : CheckPage(page, p + 1);
      endFinding_[p] = check_.findings.size();
    }
    // An erased block carries no block sum; logical block 1 never does.
    const bool carriesSum = check_.logicalBlock != 1 && !allErased;
    if (carriesSum) CheckBlockSum();
    ConfirmSingleBits(carriesSum);
    for (int p = 0; p < kPagesPerBlock; ++p)
      if (check_.pages[p].kind != PageVerdict::Erased) Classify(p);
    return std::move(check_);
  }

 private:
  // A finding on page `pageNumber` (1..32) of the block.
  void Report(int pageNumber, const std::string& what, const std::uint8_t* stored, const std::uint8_t* computed,
              std::size_t count, const std::string& note = "") {
    check_.findings.push_back({check_.block, check_.logicalBlock, pageNumber, what, HexBytes(stored, count),
                               computed ? HexBytes(computed, count) : "", note});
  }

  // Spare bytes `from` to `to` must be FF.
  void ExpectBlank(int pageNumber, const std::uint8_t* spareArea, int from, int to) {
    const std::size_t count = static_cast<std::size_t>(to - from + 1);
    if (!AllAre(spareArea + from, count, 0xFF))
      Report(pageNumber, "填充字节" + std::to_string(from) + "-" + std::to_string(to), spareArea + from,
             kBlankSpare.data(), count);
  }

  // Logical block 1: all 16 spare bytes of every page are FF.
  EccVerdict CheckBlankPage(const std::uint8_t* page, int pageNumber) {
    const std::uint8_t* spareArea = page + kPageData;
    if (!AllAre(spareArea, kSpareSize, 0xFF))
      Report(pageNumber, "备用区", spareArea, kBlankSpare.data(), kSpareSize, "逻辑块1的备用区应全为FF");
    return {};
  }

  EccVerdict CheckPage(const std::uint8_t* page, int pageNumber) {
    const std::uint8_t* spareArea = page + kPageData;
    const PageChecks checks = CalPageChecks(page);
    if (pageNumber == 1) {
      const auto number = LowByteFirst(check_.logicalBlock);
      if (spareArea[spare::kBlockLow] != number[0] || spareArea[spare::kBlockHigh] != number[1])
        Report(pageNumber, "逻辑块号", spareArea, number.data(), 2);
    } else {
      ExpectBlank(pageNumber, spareArea, spare::kBlockLow, spare::kBlockHigh);
    }
    ExpectBlank(pageNumber, spareArea, spare::kBlockHigh + 1, spare::kEcc - 1);

    const PageEcc stored = {spareArea[spare::kEcc], spareArea[spare::kEcc + 1], spareArea[spare::kEcc + 2]};
    EccVerdict verdict = JudgeEcc(stored, checks.ecc);
    // Erased or damaged ECC bytes can mimic the syndrome of one wrong data
    // bit. A bit is only taken as wrong when the stored page XOR tells the
    // same story; otherwise changing it could damage good data.
    if (verdict.kind == EccVerdict::DataBit && (spareArea[spare::kXor] ^ checks.pageXor) != (1u << verdict.bit))
      verdict.kind = EccVerdict::Uncorrectable;
    if (verdict.kind != EccVerdict::Clean) {
      eccFinding_[pageNumber - 1] = check_.findings.size();
      Report(pageNumber, kEcc, stored.data(), checks.ecc.data(), 3,
             verdict.kind == EccVerdict::DataBit  ? "数据" + DescribeBit(verdict) + ",可纠正"
             : verdict.kind == EccVerdict::EccOnly ? "仅ECC字节有误,数据无误"
                                                   : "多位有误,无法纠正");
    }

    const std::uint8_t marker = spare::kMarker;
    if (spareArea[spare::kMarkerAt] != marker) Report(pageNumber, "标记", spareArea + spare::kMarkerAt, &marker, 1);
    if (spareArea[spare::kXor] != checks.pageXor)
      Report(pageNumber, kPageXor, spareArea + spare::kXor, &checks.pageXor, 1);
    ExpectBlank(pageNumber, spareArea, spare::kXor + 1, spare::kVersion - 1);
    if (pageNumber == kPagesPerBlock) {
      const std::uint8_t version = spareArea[spare::kVersion];
      if ((version >> 4) > 9 || (version & 0x0F) > 9)
        Report(pageNumber, "版本号", spareArea + spare::kVersion, nullptr, 1, "不是两位十进制数字");
    } else {
      ExpectBlank(pageNumber, spareArea, spare::kVersion, spare::kSumHigh);
    }
    return verdict;
  }

  void CheckBlockSum() {
    sum_ = CalCheckSum(block_);
    const auto computed = LowByteFirst(sum_);
    const std::uint8_t* stored = block_ + kBlockSumOffset;
    check_.sumDiffers = stored[0] != computed[0] || stored[1] != computed[1];
    if (check_.sumDiffers) Report(kPagesPerBlock, "块校验和", stored, computed.data(), 2);
  }

  // The page's findings, other than its ECC's and page XOR's: none for a
  // spare area that still belongs to its data.
  bool SpareIntact(int p) const {
    for (std::size_t i = firstFinding_[p]; i < endFinding_[p]; ++i)
      if (check_.findings[i].what != kEcc && check_.findings[i].what != kPageXor) return false;
    return true;
  }

  // A one-bit ECC difference on a page that is otherwise as the rules give.
  bool OnlyAnEccBit(int p) const {
    return check_.pages[p].ecc.kind == EccVerdict::EccOnly && endFinding_[p] - firstFinding_[p] == 1;
  }

  // A located data bit stays unconfirmed where the page's spare area has
  // more wrong than its ECC and page XOR, or where the block sum does not
  // come out right once every single-bit error of the block is put right.
  void ConfirmSingleBits(bool carriesSum) {
    int dataChange = 0, eccChange = 0;
    for (int p = 0; p < kPagesPerBlock; ++p) {
      const EccVerdict& v = check_.pages[p].ecc;
      const std::uint8_t* page = block_ + p * kPageSize;
      if (v.kind == EccVerdict::DataBit && !SpareIntact(p))
        Unconfirmed(p);
      else if (v.kind == EccVerdict::DataBit)
        dataChange += SumChange(page[v.byte], v.bit);
      else if (OnlyAnEccBit(p))
        eccChange += SumChange(page[kPageData + spare::kEcc + v.byte], v.bit);
    }
    if (!carriesSum) return;
    const auto stored = static_cast<std::uint16_t>(ReadLowByteFirst(block_ + kBlockSumOffset));
    if (static_cast<std::uint16_t>(sum_ + dataChange + eccChange) == stored) return;
    for (int p = 0; p < kPagesPerBlock; ++p)
      if (check_.pages[p].ecc.kind == EccVerdict::DataBit) Unconfirmed(p);
    check_.sumWrong = static_cast<std::uint16_t>(sum_ + eccChange) != stored;
  }

  void Unconfirmed(int p) {
    check_.pages[p].ecc.kind = EccVerdict::Uncorrectable;
    check_.findings[eccFinding_[p]].note = "无法确认为单个数据位有误,不予纠正";
  }

  void Classify(int p) {
    PageVerdict& v = check_.pages[p];
    if (v.ecc.kind == EccVerdict::DataBit) {
      v.kind = PageVerdict::DataBit;
    } else if (OnlyAnEccBit(p)) {
      v.kind = PageVerdict::EccBit;
    } else if (firstFinding_[p] == endFinding_[p]) {
      v.kind = check_.logicalBlock == 1 ? PageVerdict::Unchecked : PageVerdict::Clean;
    } else {
      v.kind = PageVerdict::Damaged;
      for (std::size_t i = firstFinding_[p]; i < endFinding_[p]; ++i)
        v.failing += (v.failing.empty() ? "" : ", ") + check_.findings[i].what;
    }
  }

  const std::uint8_t* block_;
  BlockCheck check_;
  std::uint16_t sum_ = 0;
  // Per page: its findings are [first, end) of the block's; its ECC's is one of them.
  std::size_t firstFinding_[kPagesPerBlock] = {}, endFinding_[kPagesPerBlock] = {}, eccFinding_[kPagesPerBlock] = {};
};

}  // namespace

BlockCheck CheckBlock(const std::uint8_t* block, std::uint64_t blockNumber, unsigned logicalBlock) {
  return BlockChecker(block, blockNumber, logicalBlock).Run();
}

int CorrectDataBits(std::uint8_t* block, const BlockCheck& check) {
  int corrected = 0;
  for (int p = 0; p < kPagesPerBlock; ++p) {
    if (check.pages[p].kind != PageVerdict::DataBit) continue;
    CorrectDataBit(block + p * kPageSize, check.pages[p].ecc);
    ++corrected;
  }
  return corrected;
}

BlockScan CheckBlocks(BinaryFile& image, std::uint64_t blocks, unsigned start, const CheckedBlock& onBlock) {
  std::vector<std::uint8_t> chunk(kBlocksPerChunk * kBlockSize);
  for (std::uint64_t first = 0; first < blocks; first += kBlocksPerChunk) {
    const std::uint64_t count = std::min(kBlocksPerChunk, blocks - first);
    if (!image.Read(chunk.data(), count * kBlockSize)) return BlockScan::ReadFailed;
    for (std::uint64_t b = 0; b < count; ++b) {
      std::uint8_t* block = &chunk[b * kBlockSize];
      const std::uint64_t index = first + b;
      if (!onBlock(block, CheckBlock(block, index + 1, LogicalBlockAt(start, index)))) return BlockScan::Stopped;
    }
  }
  return BlockScan::Done;
}

std::string DescribeVerdict(const PageVerdict& v) {
  switch (v.kind) {
    case PageVerdict::Clean: return "无误";
    case PageVerdict::Erased: return "已擦除";
    case PageVerdict::DataBit: return "数据" + DescribeBit(v.ecc) + ",可纠正";
    case PageVerdict::EccBit:
      return "ECC字节E" + std::to_string(v.ecc.byte) + "第" + std::to_string(v.ecc.bit) + "位有误,数据无误";
    case PageVerdict::Unchecked: return std::string("未检查 (") + kNoCheckData + ")";
    case PageVerdict::Damaged: break;
  }
  return "损坏,不符: " + v.failing;
}

std::string UncheckedPagesLine(std::uint64_t pages) {
  std::string line = "未检查页数: " + std::to_string(pages);
  return pages > 0 ? line + " (" + kNoCheckData + ")" : line;
}

}  // namespace nand
