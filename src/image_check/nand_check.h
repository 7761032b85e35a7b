#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/binary_file.h"
#include "common/image_layout.h"
#include "image_check/page_ecc.h"

// The check of a NAND image's blocks against the rules their spare areas are
// written by (spare_area.h): per page the ECC and page XOR, the marker, the
// logical block number, the fill bytes and the version byte; per block the
// block sum. One engine for Tolvar's check, the verdict after a backup and
// Corvane's verification. Logical block 1 carries none of these: its pages
// can be neither confirmed nor found wrong.
namespace nand {

// A part of a page's spare area that is not what the rules give.
struct SpareFinding {
  std::uint64_t block = 0;    // block of the file, from 1
  unsigned logicalBlock = 0;  // the number it stands for (starting number + block - 1)
  int page = 0;               // 1..32
  std::string what;           // which part of the spare area
  std::string stored;         // the bytes in the file, as hexadecimal
  std::string computed;       // what the rules give, as hexadecimal
  std::string note;           // what the difference means, when there is more to say
};

// What the check makes of one page.
struct PageVerdict {
  enum Kind {
    Clean,    // as the rules give
    Erased,   // data and spare area all FF
    DataBit,  // one data bit wrong, located by the ECC and confirmed by the rest
    EccBit,   // one bit of the stored ECC wrong; the data and the rest are right
    Damaged,  // anything else; `failing` names what differs
    Unchecked,  // logical block 1: its spare area is all FF as it must be, and holds nothing to check the data by
  };
  Kind kind = Clean;
  // The page's ECC as confirmed: DataBit names the data byte and bit; a bit
  // that nothing else confirms is Uncorrectable.
  EccVerdict ecc;
  std::string failing;  // Damaged: the parts that differ, as "ECC, 页异或"
};

struct BlockCheck {
  std::uint64_t block = 0;  // of the file, from 1
  unsigned logicalBlock = 0;
  std::array<PageVerdict, kPagesPerBlock> pages{};
  std::vector<SpareFinding> findings;  // in page order
  bool sumDiffers = false;  // the stored block sum is not the sum of the bytes as they are
  bool sumWrong = false;    // nor is it once the pages' single-bit errors are put right
};

// Checks a block of 16896 bytes, block `blockNumber` (from 1) of its file,
// standing for `logicalBlock`. A data bit counts as confirmed when the ECC
// and the page XOR point to it, the rest of the page's spare area is intact,
// and the block sum (where the block has one) matches once the block's
// single-bit errors are put right; an edited page can point to a bit by
// chance, and this keeps such a page as it is. An erased block carries no
// block sum; logical block 1 keeps every spare byte FF.
BlockCheck CheckBlock(const std::uint8_t* block, std::uint64_t blockNumber, unsigned logicalBlock);

// Flips every confirmed data bit of `check` in `block`; the number flipped.
int CorrectDataBits(std::uint8_t* block, const BlockCheck& check);

// Reads the `blocks` blocks of `image` (open at its first byte) in order and
// hands each to `onBlock` with its check; `onBlock` may change the block's
// bytes, and stops the reading by returning false.
enum class BlockScan { Done, Stopped, ReadFailed };
using CheckedBlock = std::function<bool(std::uint8_t* block, const BlockCheck& check)>;
BlockScan CheckBlocks(BinaryFile& image, std::uint64_t blocks, unsigned start, const CheckedBlock& onBlock);

// What a page's verdict says, for a line: "第100字节第4位有误,可纠正".
std::string DescribeVerdict(const PageVerdict& verdict);

// Why pages are Unchecked, and the line that counts them in a summary:
// "未检查页数: 32 (逻辑块1没有校验数据)".
inline constexpr const char* kNoCheckData = "逻辑块1没有校验数据";
std::string UncheckedPagesLine(std::uint64_t pages);

}  // namespace nand
