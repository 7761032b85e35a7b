#include <iostream>

#include "backup/backup.h"
#include "backup/image_join.h"
#include "backup/image_summary.h"
#include "command_line.h"
#include "common/hex_text.h"
#include "common/interruption.h"
#include "image_check/image_check.h"

namespace {

// The cancel ending's line: what was kept (whole blocks in an image of their
// own, which a message named) and that the chosen file was left as it was.
int Cancelled(Host& host, const std::string& path, bool keptApart) {
  host.ShowMessage(std::string("已取消: ") + (keptApart ? "" : "没有保存任何数据, ") + path + " 没有改变.");
  return kExitFailure;
}

template <typename Save>
int RunBackup(const Arguments& args, Save save) {
  const auto session = OpenSession(args);
  const BackupEnding ending = save(session->m);
  // Once the image replaced the file the backup has succeeded, whatever came after.
  if (ending == BackupEnding::Cancel || (ending != BackupEnding::Success && Interrupted()))
    return Cancelled(session->host, session->m.ImagePath, !session->m.PartialImage.empty());
  if (ending != BackupEnding::Success) return kExitFailure;
  std::cout << ImageSummary(session->m.ImagePath) << '\n' << Verdict(CheckImageFile(session->m.ImagePath)) << std::endl;
  return kExitSuccess;
}

// A NAND image whose blocks a backup or a join can take: one block at least,
// logical blocks that exist. Nothing, after the refusal, otherwise.
std::optional<ImageFile> NandImageToTake(Host& host, const std::string& path) {
  std::string problem;
  std::optional<ImageFile> image = OpenImageFile(path, problem, ImageLayout::Nand);  // one block at least
  if (image && (image->extent.start < 1 || image->extent.start + image->extent.units > nand::kLogicalBlocks))
    problem = path + ": 开始逻辑块号为" + BlockHex(static_cast<unsigned>(image->extent.start)) + ", 逻辑块应在1h到FFFh之间";
  if (problem.empty()) return image;
  RefuseImage(host, "文件错误!", problem);
  return std::nullopt;
}

}  // namespace

int BackupNorVerb(const Arguments& args) { return RunBackup(args, SaveNor); }

int BackupNandVerb(const Arguments& args) {
  if (args.partial.empty()) return RunBackup(args, SaveNand);
  ConsoleHost host(true, args.model);
  const std::optional<ImageFile> partial = NandImageToTake(host, args.partial);
  if (!partial) return kExitFailure;
  return RunBackup(args, [&partial](Module1& m) { return ContinueNand(m, *partial); });
}

int JoinVerb(const Arguments& args) {
  ConsoleHost host(true, "NC3000");
  std::vector<ImageFile> inputs;
  for (std::size_t i = 0; i + 1 < args.images.size(); ++i) {
    const std::optional<ImageFile> image = NandImageToTake(host, args.images[i]);
    if (!image) return kExitFailure;
    inputs.push_back(*image);
  }
  const std::string& output = args.images.back();
  const JoinedImage joined = JoinNandImages(inputs, output, [] { return !Interrupted(); });
  if (joined.cancelled) return Cancelled(host, output, false);
  if (!joined.problem.empty()) return RefuseImage(host, joined.problem, {});
  host.ShowMessage("已合并为 " + output + ": " + DescribeExtent(joined.extent));
  std::cout << ImageSummary(output) << std::endl;
  return kExitSuccess;
}
