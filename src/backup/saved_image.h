#pragma once
#include "backup/image_receiver.h"
#include "common/temporary_file.h"

// A backup's image saved into the chosen file through a temporary file, which
// replaces the file only once the end frame arrived.
class SavedImage final : public ImageSink {
 public:
  // `imagePath` is the chosen file; the temporary file stands beside what it resolves to.
  SavedImage(const std::string& imagePath, const BackupFlavor& flavor);

  bool Begin() override {
    firstBlock_ = 0;
    return temp_.Create();
  }
  void FirstBlock(unsigned f) override { firstBlock_ = f; }
  // Payloads go to the disk as they come, so that a full disk or a failing
  // drive is met at the frame that needs it.
  bool Add(const std::uint8_t* bytes, std::size_t count) override { return temp_.Write(bytes, count); }
  std::optional<BackupEnding> Complete(Host& host, const std::function<bool()>& stillWanted) override;
  void Discard() override { temp_.Discard(); }
  std::string Problem() const override { return "无法写入临时文件: " + temp_.path() + ": " + temp_.Error(); }

 private:
  const std::string imagePath_;
  const BackupFlavor& flavor_;
  TemporaryFile temp_;
  unsigned firstBlock_ = 0;  // NAND: block number of the first data frame
};
