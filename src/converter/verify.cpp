#include "converter/verify.h"

#include <algorithm>

#include "common/binary_file.h"
#include "common/hex_text.h"
#include "common/image_layout.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "converter/conversion_steps.h"
#include "converter/messages.h"

using namespace nand;

namespace {

VerifyResult Run(ConverterHost& host, const std::string& image, const std::string* target,
                 const FindingSink& onFinding, VerifySummary& summary) {
  summary = {};
  steps::SourceImage source;
  bool unreadable = false;
  if (!steps::ImageAccepted(host, image, source, unreadable))
    return unreadable ? VerifyResult::Failed : VerifyResult::Refused;
  const std::uint64_t blocks = source.blocks;
  // More blocks than the handheld has are no image of it, and reading them
  // all would take minutes.
  if (const std::string problem = ImageLengthProblem(ImageLength(blocks)); !problem.empty()) {
    host.ShowWithReason(text::kSourceSizeWrong, steps::OfSource(image, problem));
    return VerifyResult::Refused;
  }
  if (!BlocksInRange(source.start, blocks)) summary.outOfRange = DescribeLogicalBlocks(source.start, blocks);
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

  bool cancelled = false;
  const auto onBlock = [&](std::uint8_t* block, const nand::BlockCheck& check) {
    if (host.CancelRequested()) {
      cancelled = true;
      return false;
    }
    if (onFinding)
      for (const VerifyFinding& f : check.findings) onFinding(f);
    summary.Add(check);
    if (target) {
      summary.bitsCorrected += static_cast<std::uint64_t>(nand::CorrectDataBits(block, check));
      if (!out.Write(block, kBlockSize)) return false;
    }
    host.ProcessEvents();
    host.SetProgressValue(static_cast<int>(std::min<std::uint64_t>(check.block, 0x7FFFFFFF)));
    return true;
  };
  switch (nand::CheckBlocks(in, blocks, source.start, onBlock)) {
    case nand::BlockScan::ReadFailed:
      return failed(text::ReadFailed(image, in.Error()));
    case nand::BlockScan::Stopped:
      if (!cancelled) return failed(text::WriteFailed(*target, out.Error()));
      out.Discard();
      return finish(VerifyResult::Cancelled);
    case nand::BlockScan::Done:
      break;
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

void VerifySummary::Add(const nand::BlockCheck& check) {
  blocksSumDiffers += check.sumDiffers;
  for (const nand::PageVerdict& page : check.pages) {
    ++pagesChecked;
    if (page.kind == nand::PageVerdict::Erased) {
      ++pagesErased;
      continue;
    }
    if (page.kind == nand::PageVerdict::Unchecked) {
      ++pagesUnchecked;
      continue;
    }
    switch (page.ecc.kind) {
      case EccVerdict::DataBit: ++pagesDataBit; break;
      case EccVerdict::EccOnly: ++pagesEccOnly; break;
      case EccVerdict::Uncorrectable: ++pagesUncorrectable; break;
      case EccVerdict::Clean: ++(page.kind == nand::PageVerdict::Damaged ? pagesOther : pagesClean); break;
    }
  }
}

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
      nand::UncheckedPagesLine(s.pagesUnchecked),
      "可纠正的单位数据错误页数: " + std::to_string(s.pagesDataBit),
      "仅ECC字节有误页数: " + std::to_string(s.pagesEccOnly),
      "无法纠正页数: " + std::to_string(s.pagesUncorrectable),
      "其他备用区不符页数: " + std::to_string(s.pagesOther),
      "块校验和不符块数: " + std::to_string(s.blocksSumDiffers),
  };
  if (!s.outOfRange.empty()) lines.insert(lines.begin(), s.outOfRange);
  if (repaired) lines.push_back("已纠正页数: " + std::to_string(s.bitsCorrected) + " (每页一位)");
  return lines;
}
