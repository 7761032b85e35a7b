#include "backup/saved_image.h"

#include "common/image_layout.h"
#include "common/target_check.h"

SavedImage::SavedImage(const std::string& imagePath, const BackupFlavor& flavor)
    : imagePath_(imagePath), flavor_(flavor), temp_(CheckTarget(imagePath).path) {}

std::optional<BackupEnding> SavedImage::Complete(Host& host, const std::function<bool()>& stillWanted) {
  if (flavor_.nand) {
    const auto trailer = nand::TrailerBytes(nand::LogicalBlockOfCode(firstBlock_));
    if (!temp_.Write(trailer.data(), trailer.size())) return std::nullopt;
  }
  const bool replaced = temp_.Commit(stillWanted);
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

