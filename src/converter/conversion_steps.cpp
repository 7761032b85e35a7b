#include "converter/conversion_steps.h"

#include "common/file_exists.h"
#include "converter/binary_file.h"
#include "converter/messages.h"

namespace steps {

bool SourceReadable(ConverterHost& host, const std::string& source) {
  if (!source.empty() && FileExists(source)) return true;
  host.ShowMessage(text::kSourcePathWrong);
  return false;
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
  return true;
}

bool OverwriteAllowed(ConverterHost& host, const std::string& target) {
  // The old target stays until the new one is complete and renamed over it.
  return !SomethingExistsAt(target) || host.Ask(ConverterHost::Question::Overwrite, text::kOverwrite);
}

Run::Run(ConverterHost& host, int blocks) : host_(host) {
  host_.SetConvertEnabled(false);
  host_.SetProgressRange(0, blocks);
}

ConversionResult Run::Succeed() {
  host_.ShowMessage(text::kSuccess);
  Finish();
  return ConversionResult::Success;
}

ConversionResult Run::Fail(const std::string& message) {
  host_.ShowMessage(message);
  Finish();
  return ConversionResult::Failed;
}

ConversionResult Run::ReadFailed(const std::string& source, const BinaryFile& in, TemporaryTarget& out) {
  const std::string reason = in.Error();
  out.Discard();
  return Fail(text::ReadFailed(source, reason));
}

ConversionResult Run::WriteFailed(const std::string& target, TemporaryTarget& out) {
  const std::string reason = out.Error();
  out.Discard();
  return Fail(text::WriteFailed(target, reason));
}

void Run::Finish() {
  host_.SetConvertEnabled(true);
  host_.SetProgressValue(0);
}

}  // namespace steps
