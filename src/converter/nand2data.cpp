#include <cstring>
#include <vector>

#include "common/binary_file.h"
#include "common/handheld_layout.h"
#include "converter/conversion_steps.h"
#include "converter/conversions.h"
#include "converter/messages.h"

using namespace nand;

namespace {

bool ReadStartBlock(const std::string& source, std::uint64_t size, unsigned& start, std::string& error) {
  BinaryFile in;
  std::uint8_t trailer[kTrailerSize];
  if (!in.OpenForReading(source) || !in.SeekTo(size - kTrailerSize) || !in.Read(trailer, sizeof trailer)) {
    error = in.Error();
    return false;
  }
  start = trailer[0] | trailer[1] << 8;
  return true;
}

}  // namespace

ConversionResult Nand2Data(ConverterHost& host, const std::string& source, const std::string& target) {
  std::uint64_t size = 0;
  if (!steps::SourceReadable(host, source, size)) return ConversionResult::Refused;
  unsigned start = 0;
  std::string error;
  if (size > kBlockSize && !ReadStartBlock(source, size, start, error)) {
    host.ShowMessage(text::ReadFailed(source, error));
    return ConversionResult::Failed;
  }
  std::uint64_t blocks = 0;
  if (!steps::WholeBlocks(host, source, size, kBlockSize, kTrailerSize, blocks)) return ConversionResult::Refused;
  if (!steps::TargetUsable(host, source, target)) return ConversionResult::Refused;
  if (!host.Ask(ConverterHost::Question::StartBlock, text::StartBlockQuestion(start)))
    return ConversionResult::Declined;
  if (!steps::OverwriteAllowed(host, target)) return ConversionResult::Declined;

  // The trailing starting block number is never read into a block: the
  // conversion takes whole blocks only.
  const auto dropSpareAreas = [&](const std::uint8_t* block, std::uint8_t* data, std::uint64_t) {
    for (int p = 0; p < kPagesPerBlock; ++p) {
      std::memcpy(data + p * kPageData, block + p * kPageSize, kPageData);
      host.ProcessEvents();
    }
  };
  return steps::ConvertBlocks(host, source, target, blocks, kBlockSize, kDataBlockSize, dropSpareAreas);
}
