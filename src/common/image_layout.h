#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The layouts of the handheld's flash images and of Corvane's data files.
// Every program, tool and test takes them from here; the serial exchange's
// bytes and frames are in handheld_layout.h.

// A 16-bit number as the images store it (trailer, spare areas, block sums,
// NOR check values): low byte first.
std::array<std::uint8_t, 2> LowByteFirst(unsigned value);
unsigned ReadLowByteFirst(const std::uint8_t* bytes);

// NOR image file: the NOR flash as pages, nothing before or after them.
namespace nor {
inline constexpr std::size_t kPageSize = 32768;          // one page of the image
inline constexpr std::size_t kMinimumPages = 6;          // a repairable image holds pages 00 to 05 at least
inline constexpr std::size_t kMaximumPages = 256;        // the page number travels in one byte
inline constexpr std::size_t kCrcOffset = 0x1FFF0;       // the CRC, low byte first, near the end of page 03
inline constexpr std::size_t kCheckSumOffset = 0x1FFFE;  // the NorCheckSum, low byte first, ends page 03
}  // namespace nor

// NAND image file: blocks of pages, each page its data and its spare area,
// then the trailer: the starting logical block number, low byte first. Block
// i of a file (from 0) stands for logical block start + i. Data file: the
// pages' data alone.
namespace nand {
inline constexpr std::size_t kPageData = 512;                              // data bytes of a page
inline constexpr std::size_t kSpareSize = 16;                              // spare bytes after them
inline constexpr std::size_t kPageSize = kPageData + kSpareSize;           // 528: a page in an image
inline constexpr int kPagesPerBlock = 32;                                  // pages of a block
inline constexpr std::size_t kBlockSize = kPageSize * kPagesPerBlock;      // 16896: a block in an image
inline constexpr std::size_t kDataBlockSize = kPageData * kPagesPerBlock;  // 16384: a block in a data file
inline constexpr std::size_t kTrailerSize = 2;                             // the starting logical block number
inline constexpr std::size_t kBlockSumOffset = kBlockSize - 2;             // the block sum: page 32's last spare bytes
inline constexpr int kLogicalBlocks = 4096;          // logical blocks a repair may reach: 1 to 4095
inline constexpr unsigned kLastBlockNumber = 0xFFF;  // the highest logical block number Corvane writes

// The trailer of an image whose first block is logical block `start`, and
// the number a trailer holds.
std::array<std::uint8_t, kTrailerSize> TrailerBytes(unsigned start);
unsigned StartFromTrailer(const std::uint8_t* trailer);

// The blocks of an image `length` bytes long: k when the length is k whole
// blocks and the trailer (k may be 0), nothing otherwise.
std::optional<std::size_t> BlocksInImage(std::uint64_t length);
constexpr std::uint64_t ImageLength(std::size_t blocks) { return blocks * std::uint64_t{kBlockSize} + kTrailerSize; }

// Whether blocks `start` to `start + blocks - 1` are all logical blocks the
// handheld has (1 to FFFh).
constexpr bool BlocksInRange(std::uint64_t start, std::uint64_t blocks) {
  return start >= 1 && start + blocks <= static_cast<std::uint64_t>(kLogicalBlocks);
}
// The logical blocks of an image, as the lines show them: "逻辑块2h-5h", with
// "(超出1h-FFFh)" after numbers the handheld has no block for.
std::string DescribeLogicalBlocks(unsigned start, std::uint64_t blocks);

// The logical block number of block `index` (from 0) of an image that
// starts at `start`: 16 bits, as the spare areas hold it.
constexpr unsigned LogicalBlockAt(unsigned start, std::uint64_t index) {
  return static_cast<unsigned>((start + index) & 0xFFFF);
}

// The NAND transfers carry a block code instead of the logical block number:
// the number - 2, and 0x1FFF for logical block 1. LogicalBlockOfCode is the
// way back.
inline constexpr int kBlock1Code = 0x1FFF;
constexpr int BlockCode(int logicalBlock) { return (logicalBlock - 2) & kBlock1Code; }
constexpr int LogicalBlockOfCode(int code) { return code == kBlock1Code ? 1 : code + 2; }

// What a NAND image file's length and trailer say.
struct ImageShape {
  std::optional<std::size_t> blocks;  // BlocksInImage of the length
  unsigned start = 0;                 // the trailer's number; 0 for a file shorter than the trailer
};

// Reads the shape of the image file at `path`, `length` bytes long. Nothing,
// with the system's reason in `error`, when its trailer cannot be read.
std::optional<ImageShape> ReadImageShape(const std::string& path, std::uint64_t length, std::string& error);
}  // namespace nand

// The two kinds of image, told apart by their length: NOR images are whole
// 256-byte frames, NAND images whole blocks and the trailer, which no
// multiple of 256 is. Nothing for a length of neither kind.
enum class ImageLayout { Nor, Nand };
std::optional<ImageLayout> LayoutOfLength(std::uint64_t length);

// Why a file `length` bytes long is no image to read, with the length: of
// neither layout, empty, a NAND trailer without a block, or more NAND blocks
// than the handheld has logical blocks (such a file is not read through).
// Empty for an image.
std::string ImageLengthProblem(std::uint64_t length);

// A NOR page or a NAND block.
inline std::uint64_t UnitSize(ImageLayout layout) { return layout == ImageLayout::Nor ? nor::kPageSize : nand::kBlockSize; }
