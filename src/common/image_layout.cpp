#include "common/image_layout.h"

#include "common/binary_file.h"
#include "common/handheld_layout.h"

namespace nand {

std::array<std::uint8_t, kTrailerSize> TrailerBytes(unsigned start) {
  return {static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(start >> 8 & 0xFF)};
}

unsigned StartFromTrailer(const std::uint8_t* trailer) { return static_cast<unsigned>(trailer[0] | trailer[1] << 8); }

std::optional<std::size_t> BlocksInImage(std::uint64_t length) {
  if (length < kTrailerSize || (length - kTrailerSize) % kBlockSize != 0) return std::nullopt;
  return static_cast<std::size_t>((length - kTrailerSize) / kBlockSize);
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
