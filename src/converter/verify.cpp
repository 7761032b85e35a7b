#include "converter/verify.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "common/binary_file.h"
#include "common/image_layout.h"
#include "common/hex_text.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "converter/conversion_steps.h"
#include "converter/messages.h"
#include "converter/page_ecc.h"
#include "converter/spare_area.h"

using namespace nand;

namespace {

constexpr std::uint64_t kBlocksPerChunk = 16;

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char two[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(two, sizeof two, "%02X", bytes[i]);
    if (i) text += ' ';
    text += two;
  }
  return text;
}

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

// What the checks found on one page.
struct PageResult {
  EccVerdict verdict;
  bool erased = false;        // data and spare area all FF
  bool findings = false;      // anything at all was reported
  bool spareIntact = true;    // nothing but the ECC and the page XOR differs
  int eccFinding = -1;        // index of the page's ECC finding in the block's list
};

// Checks the blocks of one image one after another and keeps the tally.
class BlockChecker {
 public:
  BlockChecker(const FindingSink& sink, VerifySummary& summary) : sink_(sink), summary_(summary) {}

  // Checks one block; with `correct` every confirmed data bit is put right in
  // `block` after all its checks were taken.
  void Check(std::uint8_t* block, std::uint64_t blockIndex, unsigned logicalBlock, bool correct) {
    block_ = blockIndex;
    number_ = logicalBlock;
    findings_.clear();
    PageResult pages[kPagesPerBlock];
    bool allErased = true;
    for (int p = 1; p <= kPagesPerBlock; ++p) {
      PageResult& result = pages[p - 1];
      const std::uint8_t* page = block + (p - 1) * kPageSize;
      result.erased = AllAre(page, kPageSize, 0xFF);
      allErased = allErased && result.erased;
      if (result.erased) continue;
      const std::size_t first = findings_.size();
      result.verdict = logicalBlock == 1 ? CheckBlankPage(page, p) : CheckPage(page, p, result);
      result.findings = findings_.size() > first;
      for (std::size_t i = first; i < findings_.size(); ++i)
        if (findings_[i].what != kEcc && findings_[i].what != kPageXor) result.spareIntact = false;
    }
    // An erased block carries no block sum; logical block 1 never does.
    const bool carriesSum = logicalBlock != 1 && !allErased;
    if (carriesSum) CheckBlockSum(block);
    ConfirmDataBits(block, pages, carriesSum);

    for (const VerifyFinding& f : findings_)
      if (sink_) sink_(f);
    for (const PageResult& result : pages) Tally(result);
    if (!correct) return;
    for (int p = 0; p < kPagesPerBlock; ++p) {
      if (pages[p].verdict.kind != EccVerdict::DataBit) continue;
      CorrectDataBit(block + p * kPageSize, pages[p].verdict);
      ++summary_.bitsCorrected;
    }
  }

 private:
  // A finding on page `pageNumber` (1..32) of the block being checked.
  int Report(int pageNumber, const std::string& what, const std::uint8_t* stored, const std::uint8_t* computed,
             std::size_t count, const std::string& note = "") {
    VerifyFinding f;
    f.block = block_;
    f.logicalBlock = number_;
    f.page = pageNumber;
    f.what = what;
    f.stored = HexBytes(stored, count);
    f.computed = computed ? HexBytes(computed, count) : "";
    f.note = note;
    findings_.push_back(f);
    return static_cast<int>(findings_.size() - 1);
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

  EccVerdict CheckPage(const std::uint8_t* page, int pageNumber, PageResult& result) {
    const std::uint8_t* spareArea = page + kPageData;
    const PageChecks checks = CalPageChecks(page);
    if (pageNumber == 1) {
      const std::uint8_t number[2] = {static_cast<std::uint8_t>(number_ & 0xFF),
                                      static_cast<std::uint8_t>(number_ >> 8 & 0xFF)};
      if (spareArea[spare::kBlockLow] != number[0] || spareArea[spare::kBlockHigh] != number[1])
        Report(pageNumber, "逻辑块号", spareArea, number, 2);
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
    if (verdict.kind == EccVerdict::DataBit)
      result.eccFinding =
          Report(pageNumber, kEcc, stored.data(), checks.ecc.data(), 3,
                 "数据第" + std::to_string(verdict.byte) + "字节第" + std::to_string(verdict.bit) + "位有误,可纠正");
    else if (verdict.kind == EccVerdict::EccOnly)
      Report(pageNumber, kEcc, stored.data(), checks.ecc.data(), 3, "仅ECC字节有误,数据无误");
    else if (verdict.kind == EccVerdict::Uncorrectable)
      Report(pageNumber, kEcc, stored.data(), checks.ecc.data(), 3, "多位有误,无法纠正");

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

  void CheckBlockSum(const std::uint8_t* block) {
    sum_ = CalCheckSum(block);
    const std::uint8_t computed[2] = {static_cast<std::uint8_t>(sum_ & 0xFF), static_cast<std::uint8_t>(sum_ >> 8)};
    const std::uint8_t* stored = block + kBlockSumOffset;
    if (stored[0] == computed[0] && stored[1] == computed[1]) return;
    Report(kPagesPerBlock, "块校验和", stored, computed, 2);
    ++summary_.blocksSumDiffers;
  }

  // A bit that the ECC and the page XOR both point to is only put right when
  // nothing else says the spare area no longer belongs to its data: every
  // other spare byte of the page is as written, and the block sum, where the
  // block has one, comes out right once the bits are put right. An edited page
  // can point to a bit by chance; this is what keeps such a page as it is.
  void ConfirmDataBits(const std::uint8_t* block, PageResult* pages, bool carriesSum) {
    int change = 0;
    for (int p = 0; p < kPagesPerBlock; ++p) {
      const EccVerdict& v = pages[p].verdict;
      if (v.kind != EccVerdict::DataBit) continue;
      if (!pages[p].spareIntact) {
        Unconfirmed(pages[p]);
        continue;
      }
      const std::uint8_t before = block[p * kPageSize + v.byte];
      change += (before ^ (1u << v.bit)) - before;
    }
    if (!carriesSum) return;
    const std::uint16_t stored = static_cast<std::uint16_t>(block[kBlockSumOffset] | block[kBlockSumOffset + 1] << 8);
    if (static_cast<std::uint16_t>(sum_ + change) == stored) return;
    for (int p = 0; p < kPagesPerBlock; ++p)
      if (pages[p].verdict.kind == EccVerdict::DataBit) Unconfirmed(pages[p]);
  }

  void Unconfirmed(PageResult& page) {
    page.verdict.kind = EccVerdict::Uncorrectable;
    findings_[static_cast<std::size_t>(page.eccFinding)].note = "无法确认为单个数据位有误,不予纠正";
  }

  void Tally(const PageResult& page) {
    ++summary_.pagesChecked;
    if (page.erased) {
      ++summary_.pagesErased;
      return;
    }
    switch (page.verdict.kind) {
      case EccVerdict::DataBit: ++summary_.pagesDataBit; break;
      case EccVerdict::EccOnly: ++summary_.pagesEccOnly; break;
      case EccVerdict::Uncorrectable: ++summary_.pagesUncorrectable; break;
      case EccVerdict::Clean: ++(page.findings ? summary_.pagesOther : summary_.pagesClean); break;
    }
  }

  const FindingSink& sink_;
  VerifySummary& summary_;
  std::vector<VerifyFinding> findings_;  // the block's, passed on once its bits are judged
  std::uint64_t block_ = 0;
  unsigned number_ = 0;
  std::uint16_t sum_ = 0;
};

VerifyResult Run(ConverterHost& host, const std::string& image, const std::string* target,
                 const FindingSink& onFinding, VerifySummary& summary) {
  summary = {};
  steps::SourceImage source;
  bool unreadable = false;
  if (!steps::ImageAccepted(host, image, source, unreadable))
    return unreadable ? VerifyResult::Failed : VerifyResult::Refused;
  const std::uint64_t blocks = source.blocks;
  if (target) {
    if (!steps::TargetUsable(host, image, *target)) return VerifyResult::Refused;
    if (!steps::OverwriteAllowed(host, *target)) return VerifyResult::Declined;
  }

  host.SetConvertEnabled(false);
  host.SetProgressRange(0, static_cast<int>(std::min<std::uint64_t>(blocks, 0x7FFFFFFF)));
  const auto finish = [&](VerifyResult result) {
    host.SetConvertEnabled(true);
    host.SetProgressValue(0);
    return result;
  };
  BinaryFile in;
  TemporaryFile out(target ? CheckTarget(*target).path : std::string());
  const auto failed = [&](const std::string& message) {
    out.Discard();
    host.ShowMessage(message);
    return finish(VerifyResult::Failed);
  };
  if (!in.OpenForReading(image)) return failed(text::ReadFailed(image, in.Error()));
  if (target && !out.Create()) return failed(text::WriteFailed(*target, out.Error()));

  BlockChecker checker(onFinding, summary);
  std::vector<std::uint8_t> chunk(kBlocksPerChunk * kBlockSize);
  for (std::uint64_t first = 0; first < blocks; first += kBlocksPerChunk) {
    const std::uint64_t count = std::min(kBlocksPerChunk, blocks - first);
    if (!in.Read(chunk.data(), count * kBlockSize)) return failed(text::ReadFailed(image, in.Error()));
    for (std::uint64_t b = 0; b < count; ++b) {
      if (host.CancelRequested()) {
        out.Discard();
        return finish(VerifyResult::Cancelled);
      }
      const std::uint64_t index = first + b;
      checker.Check(&chunk[b * kBlockSize], index + 1, LogicalBlockAt(source.start, index), target != nullptr);
      host.ProcessEvents();
      host.SetProgressValue(static_cast<int>(std::min<std::uint64_t>(index + 1, 0x7FFFFFFF)));
    }
    if (target && !out.Write(chunk.data(), count * kBlockSize))
      return failed(text::WriteFailed(*target, out.Error()));
  }
  if (target) {
    const auto trailer = TrailerBytes(source.start);
    const bool replaced = out.Write(trailer.data(), trailer.size()) && out.Commit([&] { return steps::StillWanted(host); });
    if (out.Withdrawn()) return finish(VerifyResult::Cancelled);
    if (!replaced) return failed(text::WriteFailed(*target, out.Error()));
  }
  return finish(summary.Clean() ? VerifyResult::Clean : VerifyResult::Differs);
}

}  // namespace

VerifyResult VerifyImage(ConverterHost& host, const std::string& image, const FindingSink& onFinding,
                         VerifySummary& summary) {
  return Run(host, image, nullptr, onFinding, summary);
}

VerifyResult RepairImage(ConverterHost& host, const std::string& image, const std::string& target,
                         const FindingSink& onFinding, VerifySummary& summary) {
  return Run(host, image, &target, onFinding, summary);
}

std::string DescribeFinding(const VerifyFinding& f) {
  std::string line = "第" + std::to_string(f.block) + "块(逻辑块" + HexNoZeros(f.logicalBlock) + "h)第" +
                     std::to_string(f.page) + "页: " + f.what + " 存储 " + f.stored;
  if (!f.computed.empty()) line += ", 计算 " + f.computed;
  if (!f.note.empty()) line += " (" + f.note + ")";
  return line;
}

std::vector<std::string> DescribeSummary(const VerifySummary& s, bool repaired) {
  std::vector<std::string> lines = {
      "检查页数: " + std::to_string(s.pagesChecked),
      "无误页数: " + std::to_string(s.pagesClean),
      "已擦除页数: " + std::to_string(s.pagesErased),
      "可纠正的单位数据错误页数: " + std::to_string(s.pagesDataBit),
      "仅ECC字节有误页数: " + std::to_string(s.pagesEccOnly),
      "无法纠正页数: " + std::to_string(s.pagesUncorrectable),
      "其他备用区不符页数: " + std::to_string(s.pagesOther),
      "块校验和不符块数: " + std::to_string(s.blocksSumDiffers),
  };
  if (repaired) lines.push_back("已纠正位数: " + std::to_string(s.bitsCorrected));
  return lines;
}
