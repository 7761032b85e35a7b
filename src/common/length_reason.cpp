#include "common/length_reason.h"

std::string LengthReason(std::uint64_t length, const std::string& rule) {
  return "文件长度为" + std::to_string(length) + "字节," + rule;
}

std::string WholeBlocksRule(std::uint64_t blockSize, std::uint64_t extra) {
  std::string rule = "应为整块(每块" + std::to_string(blockSize) + "字节)";
  if (extra > 0) rule += "再加" + std::to_string(extra) + "字节";
  return rule;
}
