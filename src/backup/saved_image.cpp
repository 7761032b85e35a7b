// A backup's image saved into ImagePath through a temporary file.
#include "backup/image_receiver.h"
#include "common/target_check.h"
#include "common/temporary_file.h"

namespace {

class SavedImage final : public ImageSink {
 public:
  SavedImage(const std::string& imagePath, const BackupFlavor& flavor)
      : imagePath_(imagePath), flavor_(flavor), temp_(CheckTarget(imagePath).path) {}

  bool Begin() override {
    firstBlock_ = 0;
    return temp_.Create();
  }
  void FirstBlock(unsigned f) override { firstBlock_ = f; }
  // Payloads go to the disk as they come, so that a full disk or a failing
  // drive is met at the frame that needs it.
  bool Add(const std::uint8_t* bytes, std::size_t count) override { return temp_.Write(bytes, count); }
  std::optional<BackupEnding> Complete(Host& host) override;
  void Discard() override { temp_.Discard(); }
  std::string Problem() const override { return "无法写入临时文件: " + temp_.path() + ": " + temp_.Error(); }

 private:
  const std::string imagePath_;
  const BackupFlavor& flavor_;
  TemporaryFile temp_;
  unsigned firstBlock_ = 0;  // NAND: block number of the first data frame
};

std::optional<BackupEnding> SavedImage::Complete(Host& host) {
  if (flavor_.nand) {
    const unsigned start = StartingLogicalBlock(firstBlock_);
    const std::uint8_t trailer[2] = {static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(start >> 8)};
    if (!temp_.Write(trailer, 2)) return std::nullopt;
  }
  const bool replaced = temp_.Commit();
  host.HideCancelDialog();
  if (!replaced) {
    // A complete temporary file is kept when only the rename failed; one
    // that could not be written completely is gone.
    std::string text = "备份数据无法保存为 " + imagePath_ + " : " + temp_.Error();
    if (temp_.Holds()) text += "\r\n已接收的数据保存在 " + temp_.path();
    temp_.Keep();
    host.ShowMessage(text);
    return BackupEnding::ReplaceFailed;
  }
  host.ShowMessage(flavor_.successMessage);
  return BackupEnding::Success;
}

}  // namespace

BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor) {
  SavedImage image(m.ImagePath, flavor);
  return ReceiveImage(m, flavor, image);
}
