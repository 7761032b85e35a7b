#include "repair/repair_checks.h"

#include <filesystem>

#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/length_reason.h"
#include "common/system_reason.h"

bool NorImageLengthAcceptable(std::uint64_t length) {
  const std::uint64_t pages = length / nor::kPageSize;
  return length % nor::kPageSize == 0 && pages >= nor::kMinimumPages && pages <= nor::kMaximumPages;
}

namespace {

// The length of the file at `path`; nothing, with `reason` set, when it is
// no file that can be read or its length cannot be taken.
std::optional<std::uint64_t> ReadableLength(const std::string& path, std::string& reason) {
  reason = UnreadableReason(path);
  if (!reason.empty()) return std::nullopt;
  std::error_code error;
  const std::uint64_t length = std::filesystem::file_size(PathFromUtf8(path), error);
  if (!error) return length;
  reason = ErrorCodeReason(error);
  return std::nullopt;
}

// The starting logical block number found, and the numbers a file of
// `blocks` blocks may start at: blocks 1 to 4095 exist.
std::string StartBlockReason(int startLogicalBlock, int blocks) {
  const std::string found = "开始逻辑块号为" + HexNoZeros(static_cast<unsigned>(startLogicalBlock)) + "h,";
  if (blocks >= nand::kLogicalBlocks)
    return found + "但文件有" + std::to_string(blocks) + "块,最多" + std::to_string(nand::kLogicalBlocks - 1) + "块";
  const auto last = static_cast<unsigned>(nand::kLogicalBlocks - blocks);
  return found + std::to_string(blocks) + "块的映像应为1h到" + HexNoZeros(last) + "h";
}

}  // namespace

std::string NorImageProblem(const std::string& path) {
  std::string reason;
  const std::optional<std::uint64_t> length = ReadableLength(path, reason);
  if (!length || NorImageLengthAcceptable(*length)) return reason;
  return LengthReason(*length, "应为6到256个整页(每页32768字节)");
}

NandImageCheck CheckNandImage(std::uint64_t length, int startLogicalBlock) {
  NandImageCheck check;
  check.imageLength = length;
  check.startLogicalBlock = startLogicalBlock;
  const std::optional<std::size_t> blocks = nand::BlocksInImage(length);
  if (!blocks || *blocks == 0) {
    check.message = kFileErrorReselect;
    check.reason = LengthReason(length, WholeBlocksRule(nand::kBlockSize, nand::kTrailerSize));
    return check;
  }
  check.blocks = static_cast<int>(*blocks);
  if (!nand::BlocksInRange(static_cast<std::uint64_t>(startLogicalBlock), *blocks)) {
    check.message = kStartBlockErrorReselect;
    check.reason = StartBlockReason(startLogicalBlock, check.blocks);
    return check;
  }
  check.accepted = true;
  return check;
}

NandImageCheck CheckNandImage(const std::string& path) {
  const auto unreadable = [](const std::string& reason) {
    NandImageCheck check = CheckNandImage(0, 0);
    check.reason = reason;
    return check;
  };
  std::string reason;
  const std::optional<std::uint64_t> length = ReadableLength(path, reason);
  if (!length) return unreadable(reason);
  const std::optional<nand::ImageShape> shape = nand::ReadImageShape(path, *length, reason);
  if (!shape) return unreadable(reason);
  return CheckNandImage(*length, static_cast<int>(shape->start));
}

long LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1000000000L) return value;  // far beyond any block count already
  }
  return value;
}

std::string NandRangeMessage(int blocks) {
  return "修复的块应该在1到" + BlankNumber(blocks) + "之间,请重新填写.";
}

NandRange CheckNandRange(bool all, const std::string& text1, const std::string& text2, int blocks) {
  NandRange range;
  if (all) {
    range.accepted = true;
    range.firstBlock = 1;
    range.lastBlock = blocks;
    return range;
  }
  const long first = LeadingNumber(text1);
  const long last = LeadingNumber(text2);
  if (last > blocks || first < 1 || last < 1 || first > last) {
    range.message = NandRangeMessage(blocks);
    range.firstBlock = 1;
    range.lastBlock = blocks;
    return range;
  }
  range.accepted = true;
  range.firstBlock = static_cast<int>(first);
  range.lastBlock = static_cast<int>(last);
  return range;
}
