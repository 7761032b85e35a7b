#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "converter/binary_file.h"
#include "converter/conversion_steps.h"
#include "converter/conversions.h"
#include "converter/geometry.h"
#include "converter/messages.h"

using namespace geometry;

namespace {

// Blocks read and written per file access.
constexpr std::uint64_t kBlocksPerChunk = 16;

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
  if (!steps::SourceReadable(host, source)) return ConversionResult::Refused;
  std::uint64_t size = 0;
  if (!SizeOfFile(source, size)) {
    host.ShowMessage(text::kSourcePathWrong);
    return ConversionResult::Refused;
  }
  unsigned start = 0;
  std::string error;
  if (size > kBlockSize && !ReadStartBlock(source, size, start, error)) {
    host.ShowMessage(text::ReadFailed(source, error));
    return ConversionResult::Failed;
  }
  const std::uint64_t blocks = size / kBlockSize;
  if (size % kBlockSize != kTrailerSize || size == kTrailerSize ||
      blocks > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    host.ShowMessage(text::kSourceSizeWrong);
    return ConversionResult::Refused;
  }
  if (!steps::TargetUsable(host, source, target)) return ConversionResult::Refused;
  if (!host.Ask(ConverterHost::Question::StartBlock, text::StartBlockQuestion(start)))
    return ConversionResult::Declined;
  if (!steps::OverwriteAllowed(host, target)) return ConversionResult::Declined;

  steps::Run run(host, static_cast<int>(blocks));
  BinaryFile in;
  TemporaryTarget out(target);
  if (!in.OpenForReading(source)) return run.ReadFailed(source, in, out);
  if (!out.Create()) return run.WriteFailed(target, out);

  std::vector<std::uint8_t> image(kBlocksPerChunk * kBlockSize);
  std::vector<std::uint8_t> data(kBlocksPerChunk * kDataBlockSize);
  for (std::uint64_t first = 0; first < blocks; first += kBlocksPerChunk) {
    const std::uint64_t count = std::min(kBlocksPerChunk, blocks - first);
    if (!in.Read(image.data(), count * kBlockSize)) return run.ReadFailed(source, in, out);
    for (std::uint64_t b = 0; b < count; ++b) {
      for (int p = 0; p < kPagesPerBlock; ++p) {
        std::memcpy(&data[b * kDataBlockSize + p * kPageData], &image[b * kBlockSize + p * kPageSize], kPageData);
        host.ProcessEvents();
      }
      run.BlockDone(static_cast<int>(first + b + 1));
    }
    if (!out.Write(data.data(), count * kDataBlockSize)) return run.WriteFailed(target, out);
  }
  if (!out.Commit()) return run.WriteFailed(target, out);
  return run.Succeed();
}
