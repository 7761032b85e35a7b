#include "repair/repair_checks.h"

#include <filesystem>
#include <fstream>

#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/length_reason.h"
#include "common/system_reason.h"

bool NorImageLengthAcceptable(std::uint64_t length) {
  const std::uint64_t pages = length / nor::kPageSize;
  return length % nor::kPageSize == 0 && pages >= nor::kMinimumPages && pages <= nor::kMaximumPages;
}

std::string NorImageProblem(const std::string& path) {
  if (std::string reason = UnreadableReason(path); !reason.empty()) return reason;
  std::error_code error;
  const std::uint64_t length = std::filesystem::file_size(PathFromUtf8(path), error);
  if (error) return ErrorCodeReason(error);
  if (NorImageLengthAcceptable(length)) return {};
  return LengthReason(length, "应为6到256个整页(每页32768字节)");
}

namespace {

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

NandImageCheck CheckNandImage(std::uint64_t length, int startLogicalBlock) {
  NandImageCheck check;
  check.imageLength = length;
  check.startLogicalBlock = startLogicalBlock;
  if (length % nand::kBlockSize != 2 || length < nand::kBlockSize) {
    check.message = kFileErrorReselect;
    check.reason = LengthReason(length, WholeBlocksRule(nand::kBlockSize, nand::kTrailerSize));
    return check;
  }
  check.blocks = static_cast<int>(length / nand::kBlockSize);
  if (check.blocks + startLogicalBlock > nand::kLogicalBlocks || startLogicalBlock == 0) {
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
  if (std::string reason = UnreadableReason(path); !reason.empty()) return unreadable(reason);
  std::ifstream in(PathFromUtf8(path), std::ios::binary | std::ios::ate);
  if (!in.is_open()) return unreadable(LastCallReason());
  const std::streamoff end = in.tellg();
  if (end < 0) return unreadable(LastCallReason());
  const auto length = static_cast<std::uint64_t>(end);
  int start = 0;
  if (length > nand::kBlockSize) {
    unsigned char trailer[nand::kTrailerSize] = {};
    in.seekg(end - static_cast<std::streamoff>(nand::kTrailerSize));
    if (!in.read(reinterpret_cast<char*>(trailer), sizeof trailer)) return unreadable(LastCallReason());
    start = trailer[1] * 256 + trailer[0];
  }
  return CheckNandImage(length, start);
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
