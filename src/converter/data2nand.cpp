#include <cstring>
#include <vector>

#include "common/image_layout.h"
#include "converter/conversion_steps.h"
#include "converter/conversions.h"
#include "converter/messages.h"
#include "image_check/spare_area.h"

using namespace nand;

namespace {

// Block numbers run up to FFF, so start + blocks may be at most 4096.
constexpr std::uint64_t kNumberLimit = kLastBlockNumber + 1;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::uint8_t CurrentVersion(ConverterHost& host) {
  std::string major, minor;
  host.ReadVersionDigits(major, minor);
  return VersionByte(major, minor);
}

}  // namespace

unsigned BlockNumberFromText(const std::string& text) {
  unsigned value = 0;
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

ConversionResult Data2Nand(ConverterHost& host, const std::string& source, const std::string& target,
                           const std::string& startText) {
  std::uint64_t size = 0;
  if (!steps::SourceReadable(host, source, size)) return ConversionResult::Refused;
  std::uint64_t blocks = 0;
  if (!steps::WholeBlocks(host, source, size, kDataBlockSize, 0, blocks)) return ConversionResult::Refused;
  if (!steps::TargetUsable(host, source, target)) return ConversionResult::Refused;
  const unsigned start = BlockNumberFromText(startText);
  if (blocks >= kNumberLimit) {
    // No start fits: the file, not the start, is at fault.
    host.ShowMessage(text::TooManyBlocks(kNumberLimit - 1));
    return ConversionResult::Refused;
  }
  if (start < 1 || start + blocks > kNumberLimit) {
    host.ShowMessage(text::StartRangeMessage(static_cast<unsigned>(kNumberLimit - blocks)));
    return ConversionResult::Refused;
  }
  if (!steps::OverwriteAllowed(host, target)) return ConversionResult::Declined;

  const auto makeBlock = [&](const std::uint8_t* data, std::uint8_t* block, std::uint64_t index) {
    const unsigned number = LogicalBlockAt(start, index);
    for (int p = 0; p < kPagesPerBlock; ++p) {
      std::uint8_t* page = block + p * kPageSize;
      std::memcpy(page, data + p * kPageData, kPageData);
      // The version digits may change while a conversion runs; each block
      // takes them as they stand when its page 32 is made.
      const std::uint8_t version = p + 1 == kPagesPerBlock ? CurrentVersion(host) : 0xFF;
      WriteSpareArea(page, p + 1, number, version);
      host.ProcessEvents();
    }
    StampBlockSum(block, number);
  };
  const auto trailer = TrailerBytes(start);
  return steps::ConvertBlocks(host, source, target, blocks, kDataBlockSize, kBlockSize, makeBlock,
                              {trailer.begin(), trailer.end()});
}
