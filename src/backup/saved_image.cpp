#include "backup/saved_image.h"

#include <vector>

#include "common/binary_file.h"
#include "common/hex_text.h"
#include "common/image_layout.h"
#include "common/target_check.h"

namespace {

// The name the kept blocks of a failed backup get beside `target`, as a stem
// and a suffix for CreateFreeFile: x.nand -> x.partial.nand, x -> x.partial.nand.
std::pair<std::string, std::string> PartialName(const std::string& target) {
  const std::string suffix = ".nand";
  const std::size_t at = target.size() - std::min(target.size(), suffix.size());
  std::string ending = target.substr(at);
  for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  if (ending != suffix || target.size() == suffix.size()) return {target + ".partial", suffix};
  return {target.substr(0, at) + ".partial", target.substr(at)};
}

}  // namespace

SavedImage::SavedImage(const std::string& imagePath, const BackupFlavor& flavor)
    : imagePath_(imagePath), flavor_(flavor), target_(CheckTarget(imagePath).path), temp_(target_) {}

unsigned SavedImage::StartBlock() const {
  return static_cast<unsigned>(nand::LogicalBlockOfCode(static_cast<int>(firstBlock_)));
}

bool SavedImage::KeepBlocksOf(const ImageFile& partial) {
  if (!temp_.Create()) return false;
  BinaryFile file;
  std::vector<std::uint8_t> block(nand::kBlockSize);
  bool read = file.OpenForReading(partial.path);
  for (int b = 0; read && b < partial.extent.units; ++b) {
    read = file.Read(block.data(), block.size());
    if (read && !temp_.Write(block.data(), block.size())) return false;
  }
  if (!read) {
    problem_ = "无法读取文件 " + partial.path + ": " + file.Error();
    return false;
  }
  kept_ = partial.extent.units;
  firstBlock_ = static_cast<unsigned>(nand::BlockCode(partial.extent.start));
  return true;
}

bool SavedImage::Begin() {
  if (kept_ > 0) return true;  // the first frame decides whether they go on
  firstBlock_ = 0;
  return temp_.Create();
}

bool SavedImage::FirstBlock(unsigned f) {
  if (kept_ > 0 && f == static_cast<unsigned>(nand::BlockCode(static_cast<int>(StartBlock()) + kept_))) return true;
  firstBlock_ = f;
  if (kept_ == 0) return true;
  kept_ = 0;  // another block: the image starts afresh
  return temp_.TruncateTo(0);
}

bool SavedImage::AppendTrailer() {
  const auto trailer = nand::TrailerBytes(StartBlock());
  return temp_.Write(trailer.data(), trailer.size());
}

std::optional<BackupEnding> SavedImage::Complete(Host& host, const std::function<bool()>& stillWanted) {
  if (flavor_.nand && !AppendTrailer()) return std::nullopt;
  const bool replaced = temp_.Commit(stillWanted);
  kept_ = 0;
  host.HideCancelDialog();
  if (temp_.Withdrawn()) return BackupEnding::Cancel;
  if (!replaced) {
    // A complete temporary file is kept when only the rename failed; one
    // that could not be written completely is gone.
    // A target refused at the last moment says "无法保存为 X : ..." itself.
    const std::string& why = temp_.Error();
    const std::string cannot = "无法保存为 ";
    std::string text = "备份数据" + (why.rfind(cannot, 0) == 0 ? why : cannot + imagePath_ + " : " + why);
    if (temp_.Holds()) text += "\r\n已接收的数据保存在 " + temp_.path();
    temp_.Keep();
    host.ShowMessage(text);
    return BackupEnding::ReplaceFailed;
  }
  host.ShowMessage(flavor_.successMessage);
  return BackupEnding::Success;
}

// The pages of a block that broke off are dropped; the whole blocks stay.
void SavedImage::Restart() {
  kept_ = flavor_.nand && temp_.Holds() ? static_cast<int>(temp_.Size() / nand::kBlockSize) : 0;
  if (kept_ == 0 || !temp_.TruncateTo(static_cast<std::uint64_t>(kept_) * nand::kBlockSize)) Discard();
}

// The whole blocks become a NAND image of their own under a new name, and
// the user learns where the handheld must go on.
void SavedImage::Abandon(Host& host) {
  const std::uint64_t blocks = flavor_.nand && temp_.Holds() ? temp_.Size() / nand::kBlockSize : 0;
  if (blocks == 0) return Discard();
  const unsigned first = StartBlock(), last = first + static_cast<unsigned>(blocks) - 1;
  const auto [stem, suffix] = PartialName(target_);
  const std::string count = std::to_string(blocks);
  if (temp_.TruncateTo(blocks * nand::kBlockSize) && AppendTrailer() && temp_.KeepAsNew(stem, suffix))
    host.ShowMessage("已接收的 " + count + " 块保存在 " + temp_.path() + " (逻辑块 " +
                     BlockRangeHex(first, last) + ").\r\n继续备份时, 文曲星应从第 " + BlockHex(last + 1) + " 块开始发送.");
  else
    host.ShowMessage("已接收的 " + count + " 块无法保存: " + temp_.Error());
  Discard();
}

void SavedImage::Discard() {
  temp_.Discard();
  kept_ = 0;
}
