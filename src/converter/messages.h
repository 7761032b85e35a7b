#pragma once
#include <cstdint>
#include <string>

// Corvane's fixed texts. "\r\n" is the line break inside a message.
namespace text {
inline constexpr const char* kTitle = "Corvane";
inline constexpr const char* kSourcePathWrong = "打开的文件路径错误!\r\n请重新填写.";
inline constexpr const char* kSourceSizeWrong = "打开的文件大小错误!\r\n请重新填写.";
inline constexpr const char* kTargetMissing = "请先填写保存路径!";
inline constexpr const char* kSamePath = "文件路径相同,请重新填写!";
inline constexpr const char* kOverwrite = "文件已存在,要覆盖吗?";
inline constexpr const char* kSuccess = "转换成功!";

// "文件对应的开始逻辑块号为C32h,转换?"
std::string StartBlockQuestion(unsigned startBlock);
// "开始逻辑块号应该大于等于1h且小于等于FFDh.\r\n请重新填写."
std::string StartRangeMessage(unsigned largestStart);

// "打开的文件块数太多,最多4095块!\r\n请重新填写."
std::string TooManyBlocks(std::uint64_t most);

// After "转换成功!" of Nand2Data, when pages of the image had a data bit that
// their spare area would correct (`correctable`) or were damaged beyond
// that (`damaged`): copied as they stand, and what to do before such data
// goes back into an image.
std::string WrongPagesCopied(std::uint64_t correctable, std::uint64_t damaged);

// File-system failures during a conversion name the file and the reason.
std::string ReadFailed(const std::string& path, const std::string& reason);
std::string WriteFailed(const std::string& path, const std::string& reason);
}  // namespace text
