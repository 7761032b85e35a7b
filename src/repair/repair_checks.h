#pragma once
#include <cstdint>
#include <string>

#include "common/image_layout.h"

// What the repair dialogs check before a repair may run, as plain functions so
// that the windows and the command line say exactly the same.

// Both rejection messages put the line feed before the carriage return.
inline const std::string kFileErrorReselect = "文件错误!\n\r请重新选择文件!";
inline const std::string kStartBlockErrorReselect = "文件对应的开始逻辑块号错误,无法修复!\n\r请重新选择文件!";
inline const std::string kNoPageChosen = "请至少选择一个修复内容!";

// --- NOR ---
// A NOR image can be repaired when it is whole pages, at least six of them,
// and no more than a one-byte page number can address.
bool NorImageLengthAcceptable(std::uint64_t length);

// Why the file at `path` cannot be repaired from as a NOR image: not a file
// that can be read, or a length that NorImageLengthAcceptable refuses. Empty
// when it can. Reads nothing of the file. The window says "文件错误!" for all
// of these; the command line adds the reason.
std::string NorImageProblem(const std::string& path);

// The pages a NOR repair sends and how.
struct NorRepairOptions {
  bool page00 = false;       // "00页"
  bool page01 = false;       // "01页"
  bool pagesFrom02 = true;   // "02页-最后页" (the check values are corrected first)
  bool lowSpeed = false;     // "低速修复"
  bool format = false;       // "修复后格式化文曲星"
  bool AnyPage() const { return page00 || page01 || pagesFrom02; }
  bool Sends(int page) const { return page == 0 ? page00 : page == 1 ? page01 : pagesFrom02; }
};

// --- NAND ---
struct NandImageCheck {
  bool accepted = false;
  std::string message;           // the rejection message when not accepted
  std::string reason;            // what the message leaves unsaid: no readable file, the wrong length,
                                 // the starting logical block number found and the ones allowed
  std::uint64_t imageLength = 0; // ImageLength
  int startLogicalBlock = 0;     // StartLogicalBlock (0 until read)
  int blocks = 0;                // k = ImageLength div 16896
};

// The load-time check of FormBackNand: the length must be k * 16896 + 2 with
// k >= 1, and the stored starting logical block number must be 1 or more with
// k + number <= 4096. A file that cannot be read is a file error.
NandImageCheck CheckNandImage(const std::string& path);
// The same on a length and trailer already known.
NandImageCheck CheckNandImage(std::uint64_t length, int startLogicalBlock);

// The blocks chosen in FormBackNand.
struct NandRange {
  bool accepted = false;
  int firstBlock = 1;
  int lastBlock = 1;
  std::string message;  // the range message when not accepted
};

// "全部" takes blocks 1 to k and ignores the boxes; otherwise both boxes must
// give 1 <= first <= last <= k. A rejected range comes with the message
// "修复的块应该在1到 k之间,请重新填写." (the boxes then go back to 1 and k).
NandRange CheckNandRange(bool all, const std::string& text1, const std::string& text2, int blocks);
std::string NandRangeMessage(int blocks);

// The number a text box's text begins with (blanks skipped), 0 when none.
long LeadingNumber(const std::string& text);

// The options of a NAND repair besides the range.
struct NandRepairOptions {
  bool lowSpeed = false;  // "低速修复"
  bool format = false;    // "修复后格式化文曲星"
};
