#include "converter/conversion_steps.h"

#include <algorithm>
#include <limits>

#include "common/file_exists.h"
#include "common/image_layout.h"
#include "common/length_reason.h"
#include "common/system_reason.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "common/binary_file.h"
#include "converter/messages.h"

namespace steps {

std::string OfSource(const std::string& source, const std::string& reason) {
  return "打开路径 " + source + ": " + reason;
}

bool SourceReadable(ConverterHost& host, const std::string& source, std::uint64_t& size) {
  // Only a regular file is opened: opening a pipe would wait for a writer.
  std::string reason = UnreadableReason(source);
  if (reason.empty() && SizeOfFile(source, size)) return true;
  if (reason.empty()) reason = LastCallReason();
  host.ShowWithReason(text::kSourcePathWrong, OfSource(source, reason));
  return false;
}

bool WholeBlocks(ConverterHost& host, const std::string& source, std::uint64_t size, std::uint64_t blockSize,
                 std::uint64_t extra, std::uint64_t& blocks) {
  blocks = size / blockSize;
  const bool whole = size >= blockSize + extra && (size - extra) % blockSize == 0;
  // The progress bar counts blocks in an int.
  const bool countable = blocks <= static_cast<std::uint64_t>(std::numeric_limits<int>::max());
  if (whole && countable) return true;
  const bool empty = size == extra;
  host.ShowWithReason(text::kSourceSizeWrong,
                      OfSource(source, LengthReason(size, whole   ? "块数太多"
                                                          : empty ? "没有一块数据"
                                                                  : WholeBlocksRule(blockSize, extra))));
  return false;
}

bool ImageAccepted(ConverterHost& host, const std::string& source, SourceImage& image, bool& unreadable) {
  std::uint64_t size = 0;
  if (!SourceReadable(host, source, size) || !WholeBlocks(host, source, size, nand::kBlockSize, nand::kTrailerSize, image.blocks))
    return false;
  std::string error;
  const std::optional<nand::ImageShape> shape = nand::ReadImageShape(source, size, error);
  unreadable = !shape;
  if (unreadable) {
    host.ShowMessage(text::ReadFailed(source, error));
    return false;
  }
  image.start = shape->start;
  return true;
}

bool TargetUsable(ConverterHost& host, const std::string& source, const std::string& target) {
  if (target.empty()) {
    host.ShowMessage(text::kTargetMissing);
    return false;
  }
  if (SameFile(source, target)) {
    host.ShowMessage(text::kSamePath);
    return false;
  }
  const Target checked = CheckTarget(target);
  if (!checked.problem.empty()) {
    host.ShowMessage(checked.problem);
    return false;
  }
  return true;
}

bool OverwriteAllowed(ConverterHost& host, const std::string& target) {
  // The old target stays until the new one is complete and renamed over it.
  return !CheckTarget(target).exists || host.Ask(ConverterHost::Question::Overwrite, text::kOverwrite);
}

bool StillWanted(ConverterHost& host) {
  host.ProcessEvents();
  return !host.CancelRequested();
}

namespace {

// Blocks read and written per file access.
constexpr std::uint64_t kBlocksPerChunk = 16;

// The convert button and progress bar while a conversion runs.
class Run {
 public:
  Run(ConverterHost& host, std::uint64_t blocks) : host_(host) {
    host_.SetConvertEnabled(false);
    host_.SetProgressRange(0, static_cast<int>(blocks));
  }
  ConversionResult Succeed() {
    host_.ShowMessage(text::kSuccess);
    Finish();
    return ConversionResult::Success;
  }
  ConversionResult ReadFailed(const std::string& source, const BinaryFile& in, TemporaryFile& out) {
    const std::string reason = in.Error();
    out.Discard();
    return Fail(text::ReadFailed(source, reason));
  }
  ConversionResult WriteFailed(const std::string& target, TemporaryFile& out) {
    const std::string reason = out.Error();
    out.Discard();
    return Fail(text::WriteFailed(target, reason));
  }
  ConversionResult Cancelled(TemporaryFile& out) {
    out.Discard();
    Finish();
    return ConversionResult::Cancelled;
  }

 private:
  ConversionResult Fail(const std::string& message) {
    host_.ShowMessage(message);
    Finish();
    return ConversionResult::Failed;
  }
  void Finish() {
    host_.SetConvertEnabled(true);
    host_.SetProgressValue(0);
  }
  ConverterHost& host_;
};

}  // namespace

ConversionResult ConvertBlocks(ConverterHost& host, const std::string& source, const std::string& target,
                               std::uint64_t blocks, std::size_t inSize, std::size_t outSize,
                               const BlockConverter& convert, const std::vector<std::uint8_t>& trailer) {
  Run run(host, blocks);
  BinaryFile in;
  TemporaryFile out(CheckTarget(target).path);
  if (!in.OpenForReading(source)) return run.ReadFailed(source, in, out);
  if (!out.Create()) return run.WriteFailed(target, out);

  std::vector<std::uint8_t> from(kBlocksPerChunk * inSize), to(kBlocksPerChunk * outSize);
  for (std::uint64_t first = 0; first < blocks; first += kBlocksPerChunk) {
    const std::uint64_t count = std::min(kBlocksPerChunk, blocks - first);
    if (!in.Read(from.data(), count * inSize)) return run.ReadFailed(source, in, out);
    for (std::uint64_t b = 0; b < count; ++b) {
      if (host.CancelRequested()) return run.Cancelled(out);
      convert(&from[b * inSize], &to[b * outSize], first + b);
      host.SetProgressValue(static_cast<int>(first + b + 1));
    }
    if (!out.Write(to.data(), count * outSize)) return run.WriteFailed(target, out);
  }
  const bool replaced = out.Write(trailer.data(), trailer.size()) && out.Commit([&] { return StillWanted(host); });
  if (out.Withdrawn()) return run.Cancelled(out);
  if (!replaced) return run.WriteFailed(target, out);
  return run.Succeed();
}

}  // namespace steps
