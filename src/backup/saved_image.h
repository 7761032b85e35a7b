#pragma once
#include "backup/image_comparison.h"
#include "backup/image_receiver.h"
#include "common/temporary_file.h"

// A backup's image saved into the chosen file through a temporary file, which
// replaces the file only once the end frame arrived.
//
// NAND: the whole blocks that arrived stay in the temporary file when an
// attempt ends and the user starts again. An attempt whose first frame names
// the block after them continues them; one that names a block among them
// goes on from there, and the blocks it sends again pass by. One
// that names any other block starts afresh, once the kept blocks were saved
// as an image of their own beside the chosen file (x.nand -> x.partial.nand),
// as they are when a backup ends without success.
class SavedImage final : public ImageSink {
 public:
  // `imagePath` is the chosen file; the temporary file stands beside what it resolves to.
  SavedImage(const std::string& imagePath, const BackupFlavor& flavor);

  // NAND: starts with the blocks of `partial` kept, as if an earlier attempt
  // had received them. False when they cannot be copied (Problem() says why).
  // `partial` is only read; the notes say when it was not used in full.
  bool KeepBlocksOf(const ImageFile& partial);

  bool Begin() override;
  bool FirstBlock(unsigned f) override;
  int KeptBlocks() const override { return kept_; }
  int HeldBlocks() const override;
  // Payloads go to the disk as they come, so that a full disk or a failing
  // drive is met at the frame that needs it; those of blocks held pass by.
  bool Add(const std::uint8_t* bytes, std::size_t count) override;
  std::optional<BackupEnding> Complete(Host& host, const std::function<bool()>& stillWanted) override;
  std::string KeptLine() const override;
  void Restart() override;
  void Abandon(Host& host) override;
  void Discard() override;
  std::vector<std::string> Notes() const override { return notes_; }
  std::string SavedApart() const override { return savedApart_; }
  std::string Problem() const override {
    return problem_.empty() ? "无法写入临时文件: " + temp_.path() + ": " + temp_.Error() : problem_;
  }

 private:
  unsigned StartBlock() const;  // the logical block of the image's first block
  bool AppendTrailer();
  // Saves the whole blocks as an image of their own and says where, with
  // their logical range; `goOn` then says where the handheld goes on. When
  // the disk has no room for the trailer, the last block makes room. False
  // when nothing could be saved; the temporary file, when there is one, is
  // then left to the user with the whole blocks, and the text names it.
  bool SaveWholeBlocks(std::string& text, std::string& goOn);
  // The handheld starts at logical block `at`, not after the kept blocks.
  void NotePartialUnused(unsigned at);
  bool SetKeptApart(unsigned at);
  // No page of the block after the whole ones ever arrived: the frame that
  // broke may have been the end frame, and that block may not exist.
  bool EndMayBeLost() const;

  const std::string imagePath_;
  const BackupFlavor& flavor_;
  const std::string target_;  // what imagePath_ resolves to
  TemporaryFile temp_;
  unsigned firstBlock_ = 0;  // NAND: the block number f of the image's first data frame
  int kept_ = 0;             // NAND: whole blocks of earlier attempts that this one continues
  std::uint64_t passing_ = 0;  // NAND: bytes of held blocks that the handheld sends again
  std::uint64_t reached_ = 0;  // NAND: the most bytes of the image seen, pages of a broken block included
  std::string partialPath_;  // the image KeepBlocksOf copied
  int fromPartial_ = 0;      // the first blocks of the temporary file that are still its copy
  std::vector<std::string> notes_;
  std::string savedApart_;
  std::string problem_;      // why KeepBlocksOf failed, when it was not the temporary file
};
