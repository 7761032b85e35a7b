#include "backup/verification.h"

#include "backup/image_receiver.h"
#include "common/handheld_layout.h"

namespace {

// A received image compared as it arrives. A restarted attempt compares afresh.
class ComparedImage final : public ImageSink {
 public:
  ComparedImage(ImageComparison& comparison, bool nand) : comparison_(comparison), nand_(nand) {}

  bool Begin() override {
    comparison_.Restart(nand_ ? nand::LogicalBlockOfCode(0) : 0);
    return true;
  }
  bool FirstBlock(unsigned f) override {
    comparison_.Restart(nand::LogicalBlockOfCode(static_cast<int>(f)));
    return true;
  }
  bool Add(const std::uint8_t* bytes, std::size_t count) override { return comparison_.Add(bytes, count); }
  std::optional<BackupEnding> Complete(Host& host, const std::function<bool()>&) override {
    if (!comparison_.Finish()) return std::nullopt;
    host.HideCancelDialog();
    return BackupEnding::Success;
  }
  void Discard() override {}
  std::string Problem() const override { return "无法读取文件 " + comparison_.Problem(); }

 private:
  ImageComparison& comparison_;
  bool nand_;
};

BackupEnding Verify(Module1& m, ImageComparison& comparison, const BackupFlavor& flavor) {
  ComparedImage image(comparison, flavor.nand);
  return ReceiveLocked(m, flavor, image);
}

}  // namespace

BackupEnding VerifyNor(Module1& m, ImageComparison& comparison) { return Verify(m, comparison, kNorBackup); }
BackupEnding VerifyNand(Module1& m, ImageComparison& comparison) { return Verify(m, comparison, kNandBackup); }
