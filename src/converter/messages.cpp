#include "converter/messages.h"

#include "common/hex_text.h"

namespace text {

std::string StartBlockQuestion(unsigned startBlock) {
  return "文件对应的开始逻辑块号为" + HexNoZeros(startBlock) + "h,转换?";
}

std::string StartRangeMessage(unsigned largestStart) {
  return "开始逻辑块号应该大于等于1h且小于等于" + HexNoZeros(largestStart) + "h.\r\n请重新填写.";
}

std::string TooManyBlocks(std::uint64_t most) {
  return "打开的文件块数太多,最多" + std::to_string(most) + "块!\r\n请重新填写.";
}

std::string WrongPagesCopied(std::uint64_t correctable, std::uint64_t damaged) {
  const auto pages = [](std::uint64_t count) { return BlankNumber(static_cast<long>(count)) + "页"; };
  std::string found, advice;
  if (correctable > 0) {
    found = pages(correctable) + (correctable == 1 ? "的数据有一位错误" : "的数据各有一位错误") + "(备用区可以纠正)";
    advice = "请先用 corvane verify --repair 纠正Nand文件, 再转换纠正后的副本";
  }
  if (damaged > 0) {
    found += (found.empty() ? "" : ",") + pages(damaged) + "已损坏(备用区不符, 数据可能有误)";
    advice += std::string(advice.empty() ? "请" : "; 损坏的页请") +
              "再读一次文曲星与映像比较 (tolvar verify-nand), 或与另一份备份比较 (tolvar compare)";
  }
  return "注意: Nand文件中有" + found + ", 已原样转换.\r\n" + advice +
         "; 否则改回Nand时, 新的校验会把错误的位当作正确的.";
}

std::string ReadFailed(const std::string& path, const std::string& reason) {
  return "读取文件出错:" + path + "\r\n" + reason;
}

std::string WriteFailed(const std::string& path, const std::string& reason) {
  return "写入文件出错:" + path + "\r\n" + reason;
}

}  // namespace text
