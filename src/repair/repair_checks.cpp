#include "repair/repair_checks.h"

#include <fstream>

#include "common/file_exists.h"
#include "common/hex_text.h"

bool NorImageLengthAcceptable(std::uint64_t length) {
  return length % kNorPageSize == 0 && length >= kNorMinimumLength && length / kNorPageSize <= kNorMaximumPages;
}

NandImageCheck CheckNandImage(std::uint64_t length, int startLogicalBlock) {
  NandImageCheck check;
  check.imageLength = length;
  check.startLogicalBlock = startLogicalBlock;
  if (length % kNandBlockSize != 2 || length < kNandBlockSize) {
    check.message = kFileErrorReselect;
    return check;
  }
  check.blocks = static_cast<int>(length / kNandBlockSize);
  if (check.blocks + startLogicalBlock > kNandLogicalBlocks || startLogicalBlock == 0) {
    check.message = kStartBlockErrorReselect;
    return check;
  }
  check.accepted = true;
  return check;
}

NandImageCheck CheckNandImage(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary | std::ios::ate);
  if (!in.is_open()) return CheckNandImage(0, 0);
  const std::streamoff end = in.tellg();
  if (end < 0) return CheckNandImage(0, 0);
  const auto length = static_cast<std::uint64_t>(end);
  int start = 0;
  if (length > kNandBlockSize) {
    unsigned char trailer[2] = {};
    in.seekg(end - 2);
    if (!in.read(reinterpret_cast<char*>(trailer), 2)) return CheckNandImage(0, 0);
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
