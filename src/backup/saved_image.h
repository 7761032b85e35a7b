#pragma once
#include "backup/image_comparison.h"
#include "backup/image_receiver.h"
#include "common/temporary_file.h"

// A backup's image saved into the chosen file through a temporary file, which
// replaces the file only once the end frame arrived.
//
// NAND: the whole blocks that arrived stay in the temporary file when an
// attempt ends and the user starts again. An attempt whose first frame names
// the block after them continues them; one that names any other block starts
// afresh. A backup that ends without success keeps them as an image of their
// own beside the chosen file (x.nand -> x.partial.nand).
class SavedImage final : public ImageSink {
 public:
  // `imagePath` is the chosen file; the temporary file stands beside what it resolves to.
  SavedImage(const std::string& imagePath, const BackupFlavor& flavor);

  // NAND: starts with the blocks of `partial` kept, as if an earlier attempt
  // had received them. False when they cannot be copied (Problem() says why).
  bool KeepBlocksOf(const ImageFile& partial);

  bool Begin() override;
  bool FirstBlock(unsigned f) override;
  int KeptBlocks() const override { return kept_; }
  // Payloads go to the disk as they come, so that a full disk or a failing
  // drive is met at the frame that needs it.
  bool Add(const std::uint8_t* bytes, std::size_t count) override { return temp_.Write(bytes, count); }
  std::optional<BackupEnding> Complete(Host& host, const std::function<bool()>& stillWanted) override;
  void Restart() override;
  void Abandon(Host& host) override;
  void Discard() override;
  std::string Problem() const override {
    return problem_.empty() ? "无法写入临时文件: " + temp_.path() + ": " + temp_.Error() : problem_;
  }

 private:
  unsigned StartBlock() const;  // the logical block of the image's first block
  bool AppendTrailer();

  const std::string imagePath_;
  const BackupFlavor& flavor_;
  const std::string target_;  // what imagePath_ resolves to
  TemporaryFile temp_;
  unsigned firstBlock_ = 0;  // NAND: the block number f of the image's first data frame
  int kept_ = 0;             // NAND: whole blocks of earlier attempts that this one continues
  std::string problem_;      // why KeepBlocksOf failed, when it was not the temporary file
};
