#include <cstring>
#include <vector>

#include "common/image_layout.h"
#include "converter/conversion_steps.h"
#include "converter/conversions.h"
#include "converter/messages.h"
#include "image_check/image_check.h"

using namespace nand;

ConversionResult Nand2Data(ConverterHost& host, const std::string& source, const std::string& target) {
  steps::SourceImage image;
  bool unreadable = false;
  if (!steps::ImageAccepted(host, source, image, unreadable))
    return unreadable ? ConversionResult::Failed : ConversionResult::Refused;
  if (!steps::TargetUsable(host, source, target)) return ConversionResult::Refused;
  if (!host.Ask(ConverterHost::Question::StartBlock, text::StartBlockQuestion(image.start)))
    return ConversionResult::Declined;
  if (!steps::OverwriteAllowed(host, target)) return ConversionResult::Declined;

  // The trailing starting block number is never read into a block: the
  // conversion takes whole blocks only. The data is copied as it stands; a
  // data bit that the spare area would correct, and a page it finds damaged,
  // are counted, for once the spare area is gone, a new one would vouch for
  // the wrong bits.
  NandTally tally;
  const auto dropSpareAreas = [&](const std::uint8_t* block, std::uint8_t* data, std::uint64_t index) {
    tally.Add(CheckBlock(block, index + 1, LogicalBlockAt(image.start, index)));
    for (int p = 0; p < kPagesPerBlock; ++p) {
      std::memcpy(data + p * kPageData, block + p * kPageSize, kPageData);
      host.ProcessEvents();
    }
  };
  const ConversionResult result =
      steps::ConvertBlocks(host, source, target, image.blocks, kBlockSize, kDataBlockSize, dropSpareAreas);
  if (result == ConversionResult::Success && tally.dataBit + tally.damaged > 0)
    host.ShowMessage(text::WrongPagesCopied(tally.dataBit, tally.damaged));
  return result;
}
