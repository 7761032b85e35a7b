#include "backup/saved_image.h"

#include <algorithm>
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

// Where the handheld goes on after the whole blocks up to logical block
// `last`, when `unsure` only if it has more.
std::string WhereToGoOn(unsigned last, bool unsure) {
  if (last >= nand::kLastBlockNumber) return "逻辑块 " + BlockHex(last) + " 是最后一块, 不必再接着备份.";
  return std::string(unsure ? "继续备份时, 文曲星还有更多块的话, 应从第 " : "继续备份时, 文曲星应从第 ") +
         BlockHex(last + 1) + " 块开始发送.";
}

const std::string kKeptAt = "已接收的数据保存在 ";

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
  kept_ = fromPartial_ = partial.extent.units;
  partialPath_ = partial.path;
  firstBlock_ = static_cast<unsigned>(nand::BlockCode(partial.extent.start));
  return true;
}

bool SavedImage::Begin() {
  if (kept_ > 0) return true;  // the first frame decides whether they go on
  firstBlock_ = 0;
  reached_ = 0;
  return temp_.Create();
}

bool SavedImage::FirstBlock(unsigned f) {
  const auto at = static_cast<unsigned>(nand::LogicalBlockOfCode(static_cast<int>(f)));
  const long long keep = static_cast<long long>(at) - StartBlock();  // the kept blocks before `at`
  if (kept_ > 0 && (keep < 0 || keep > kept_)) {
    if (!SetKeptApart(at)) return false;
  } else if (kept_ > 0) {
    // The handheld sends blocks again that are held: they pass by, and the
    // held ones stay until the attempt has gone past them.
    passing_ = static_cast<std::uint64_t>(kept_ - keep) * nand::kBlockSize;
    kept_ = static_cast<int>(keep);
    return true;
  }
  firstBlock_ = f;
  reached_ = 0;
  return true;
}

int SavedImage::HeldBlocks() const {
  return flavor_.nand && temp_.Holds() ? static_cast<int>(temp_.Size() / nand::kBlockSize) : 0;
}

bool SavedImage::EndMayBeLost() const {
  return temp_.Size() % nand::kBlockSize == 0 && reached_ <= temp_.Size();
}

bool SavedImage::Add(const std::uint8_t* bytes, std::size_t count) {
  const std::size_t passed = static_cast<std::size_t>(std::min<std::uint64_t>(passing_, count));
  passing_ -= passed;
  return passed == count || temp_.Write(bytes + passed, count - passed);
}

void SavedImage::NotePartialUnused(unsigned at) {
  const unsigned start = StartBlock();
  notes_.push_back("文曲星从第 " + BlockHex(at) + " 块开始发送: 没有用上 " + partialPath_ + " 的逻辑块 " +
                   BlockRangeHex(start, start + static_cast<unsigned>(fromPartial_) - 1) + ".");
}

// Blocks that only copy the partial image are not saved again.
bool SavedImage::SetKeptApart(unsigned at) {
  if (kept_ == fromPartial_) {
    NotePartialUnused(at);
  } else {
    std::string text, goOn;
    SaveWholeBlocks(text, goOn);
    notes_.push_back("文曲星从第 " + BlockHex(at) + " 块开始发送, 接不上已收到的块: " + text);
  }
  kept_ = fromPartial_ = 0;
  return temp_.Create();
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
    if (temp_.Holds()) text += "\r\n" + kKeptAt + temp_.path();
    temp_.Keep();
    host.ShowMessage(text);
    return BackupEnding::ReplaceFailed;
  }
  host.ShowMessage(flavor_.successMessage);
  return BackupEnding::Success;
}

// The pages of a block that broke off are dropped; the whole blocks stay.
void SavedImage::Restart() {
  passing_ = 0;
  reached_ = std::max(reached_, temp_.Size());
  kept_ = flavor_.nand && temp_.Holds() ? static_cast<int>(temp_.Size() / nand::kBlockSize) : 0;
  if (kept_ == 0 || !temp_.TruncateTo(static_cast<std::uint64_t>(kept_) * nand::kBlockSize)) Discard();
}

std::string SavedImage::KeptLine() const {
  if (!flavor_.nand || !temp_.Holds() || temp_.Size() < nand::kBlockSize) return {};
  const unsigned first = StartBlock(), last = first + static_cast<unsigned>(temp_.Size() / nand::kBlockSize) - 1;
  return "已收到逻辑块 " + BlockRangeHex(first, last) + ". " + WhereToGoOn(last, EndMayBeLost());
}

bool SavedImage::SaveWholeBlocks(std::string& text, std::string& goOn) {
  const std::uint64_t whole = temp_.Size() / nand::kBlockSize;
  const bool endMayBeLost = EndMayBeLost();
  std::uint64_t blocks = whole;
  const auto withTrailer = [&] { return temp_.TruncateTo(blocks * nand::kBlockSize) && AppendTrailer(); };
  bool complete = withTrailer();
  // A full disk takes the trailer in place of the last block.
  const std::string full = temp_.Error();
  if (!complete && temp_.DiskFull() && blocks > 1) {
    --blocks;
    complete = withTrailer();
  }
  const std::string count = "已接收的 " + std::to_string(whole) + " 块";
  const auto [stem, suffix] = PartialName(target_);
  if (!complete || !temp_.KeepAsNew(stem, suffix)) {
    text = count + "无法保存: " + temp_.Error();
    if (!complete) temp_.TruncateTo(blocks * nand::kBlockSize);  // whole blocks are left, without a trailer
    if (temp_.Holds()) text += ", " + kKeptAt + temp_.path();
    temp_.Keep();
    return false;
  }
  savedApart_ = temp_.path();
  const unsigned first = StartBlock(), last = first + static_cast<unsigned>(blocks) - 1;
  text = (blocks < whole ? count + "中的前 " + std::to_string(blocks) + " 块" : count) + "保存在 " + temp_.path() +
         " (逻辑块 " + BlockRangeHex(first, last) + ")" + (blocks < whole ? "; 其余的块保存不下: " + full : "") + ".";
  goOn = WhereToGoOn(last, blocks == whole && endMayBeLost);
  if (last < nand::kLastBlockNumber)
    goOn += "\r\n接着备份用 tolvar backup-nand --continue, 或者备份其余的块以后用 tolvar join 合并.";
  return true;
}

// The whole blocks become a NAND image of their own under a new name, and
// the user learns where the handheld must go on.
void SavedImage::Abandon(Host& host) {
  if (flavor_.nand && temp_.Holds() && temp_.Size() >= nand::kBlockSize) {
    std::string text, goOn;
    if (SaveWholeBlocks(text, goOn)) text += "\r\n" + goOn;
    host.ShowMessage(text);
  }
  Discard();
}

void SavedImage::Discard() {
  temp_.Discard();
  passing_ = 0;
  kept_ = fromPartial_ = 0;
}
