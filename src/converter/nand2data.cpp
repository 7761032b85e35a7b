#include <cstring>
#include <vector>

#include "common/image_layout.h"
#include "converter/conversion_steps.h"
#include "converter/conversions.h"
#include "converter/messages.h"
#include "image_check/nand_check.h"

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
  std::uint64_t correctable = 0, damaged = 0;
  const auto dropSpareAreas = [&](const std::uint8_t* block, std::uint8_t* data, std::uint64_t index) {
    for (const PageVerdict& page : CheckBlock(block, index + 1, LogicalBlockAt(image.start, index)).pages) {
      correctable += page.kind == PageVerdict::DataBit;
      damaged += page.kind == PageVerdict::Damaged;
    }
    for (int p = 0; p < kPagesPerBlock; ++p) {
      std::memcpy(data + p * kPageData, block + p * kPageSize, kPageData);
      host.ProcessEvents();
    }
  };
  const ConversionResult result =
      steps::ConvertBlocks(host, source, target, image.blocks, kBlockSize, kDataBlockSize, dropSpareAreas);
  if (result == ConversionResult::Success && correctable + damaged > 0)
    host.ShowMessage(text::WrongPagesCopied(correctable, damaged));
  return result;
}
