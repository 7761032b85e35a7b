#include "common/image_layout.h"

#include "common/binary_file.h"
#include "common/handheld_layout.h"
#include "common/hex_text.h"
#include "common/length_reason.h"

std::array<std::uint8_t, 2> LowByteFirst(unsigned value) {
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8 & 0xFF)};
}

unsigned ReadLowByteFirst(const std::uint8_t* bytes) { return static_cast<unsigned>(bytes[0] | bytes[1] << 8); }

namespace nand {

std::array<std::uint8_t, kTrailerSize> TrailerBytes(unsigned start) { return LowByteFirst(start); }

unsigned StartFromTrailer(const std::uint8_t* trailer) { return ReadLowByteFirst(trailer); }

std::optional<std::size_t> BlocksInImage(std::uint64_t length) {
  if (length < kTrailerSize || (length - kTrailerSize) % kBlockSize != 0) return std::nullopt;
  return static_cast<std::size_t>((length - kTrailerSize) / kBlockSize);
}

std::string DescribeLogicalBlocks(unsigned start, std::uint64_t blocks) {
  const std::string text = "逻辑块" + BlockRangeHex(start, static_cast<unsigned>(blocks > 1 ? start + blocks - 1 : start));
  return BlocksInRange(start, blocks) ? text : text + " (超出1h-" + HexNoZeros(kLastBlockNumber) + "h)";
}

std::optional<ImageShape> ReadImageShape(const std::string& path, std::uint64_t length, std::string& error) {
  ImageShape shape{BlocksInImage(length), 0};
  if (length < kTrailerSize) return shape;
  BinaryFile file;
  std::uint8_t trailer[kTrailerSize];
  if (!file.OpenForReading(path) || !file.SeekTo(length - kTrailerSize) || !file.Read(trailer, sizeof trailer)) {
    error = file.Error();
    return std::nullopt;
  }
  shape.start = StartFromTrailer(trailer);
  return shape;
}

}  // namespace nand

std::optional<ImageLayout> LayoutOfLength(std::uint64_t length) {
  if (length % wire::kNorPayload == 0) return ImageLayout::Nor;
  if (nand::BlocksInImage(length)) return ImageLayout::Nand;
  return std::nullopt;
}

std::string ImageLengthProblem(std::uint64_t length) {
  const std::optional<ImageLayout> layout = LayoutOfLength(length);
  if (!layout)
    return LengthReason(length, "既不是Nor映像(256字节的整数倍),也不是Nand映像(整块,每块16896字节,再加2字节)");
  if (length == 0) return LengthReason(length, "是空文件");
  const std::uint64_t blocks = nand::BlocksInImage(length).value_or(0);
  if (*layout == ImageLayout::Nand && blocks == 0) return LengthReason(length, "只有开始逻辑块号,没有一块数据");
  if (*layout == ImageLayout::Nand && blocks >= static_cast<std::uint64_t>(nand::kLogicalBlocks))
    return LengthReason(length, "有" + std::to_string(blocks) + "块,逻辑块只有1h-" +
                                    HexNoZeros(nand::kLastBlockNumber) + "h,最多" +
                                    std::to_string(nand::kLogicalBlocks - 1) + "块");
  return {};
}
