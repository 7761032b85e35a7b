#pragma once
#include <cstddef>

// Shape of a NAND image file and of a data file.
//
// NAND image: blocks of 32 pages, each page 512 data bytes followed by its
// 16-byte spare area, then two bytes holding the starting logical block
// number, low byte first. Data file: the 512-byte page data alone.
namespace geometry {
inline constexpr std::size_t kPageData = 512;
inline constexpr std::size_t kSpareSize = 16;
inline constexpr std::size_t kPageSize = kPageData + kSpareSize;      // 528
inline constexpr int kPagesPerBlock = 32;
inline constexpr std::size_t kBlockSize = kPageSize * kPagesPerBlock;  // 16896
inline constexpr std::size_t kDataBlockSize = kPageData * kPagesPerBlock;  // 16384
inline constexpr std::size_t kTrailerSize = 2;
// Block offset of the block sum (spare offsets 14 and 15 of page 32).
inline constexpr std::size_t kBlockSumOffset = kBlockSize - 2;        // 16894
// Logical block numbers written into images lie in 1..FFF.
inline constexpr unsigned kLastBlockNumber = 0xFFF;
}  // namespace geometry
