#include "backup/backup.h"

#include "backup/image_receiver.h"
#include "backup/saved_image.h"
#include "common/binary_file.h"
#include "common/target_check.h"

namespace {

BackupEnding SaveImage(Module1& m, const BackupFlavor& flavor, const ImageFile* partial = nullptr) {
  // A target that could never be written is refused before the port opens,
  // not after the user waited through the whole transfer.
  const Target target = CheckTarget(m.ImagePath);
  if (!target.problem.empty()) {
    m.host.ShowMessage(target.problem);
    return BackupEnding::TargetRefused;
  }
  // The partial image is only read, so it can never be the file written.
  if (partial && SameFile(partial->path, m.ImagePath)) {
    m.host.ShowMessage("无法保存为 " + m.ImagePath + " : 它就是要接着的部分映像 " + partial->path + ", 部分映像只读不写!");
    return BackupEnding::TargetRefused;
  }
  SavedImage image(m.ImagePath, flavor);
  if (partial && !image.KeepBlocksOf(*partial)) {
    m.host.ShowMessage(image.Problem());
    return BackupEnding::Error;
  }
  return ReceiveLocked(m, flavor, image);
}

}  // namespace

BackupEnding ReceiveLocked(Module1& m, const BackupFlavor& flavor, ImageSink& sink) {
  m.host.LockForTransfer(Host::Task::Backup);
  BackupEnding ending = BackupEnding::PortFailed;
  if (m.OpenPort()) ending = ReceiveImage(m, flavor, sink);
  m.ClosePort();
  m.host.RestoreAfterTransfer(Host::Task::Backup);
  m.host.UnloadCancelDialog();
  return ending;
}

BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor) {
  SavedImage image(m.ImagePath, flavor);
  return ReceiveImage(m, flavor, image);
}

BackupEnding SaveNor(Module1& m) { return SaveImage(m, kNorBackup); }
BackupEnding SaveNand(Module1& m) { return SaveImage(m, kNandBackup); }
BackupEnding ContinueNand(Module1& m, const ImageFile& partial) { return SaveImage(m, kNandBackup, &partial); }
BackupEnding ReceiveNorImage(Module1& m) { return ReceiveImage(m, kNorBackup); }
BackupEnding ReceiveNandImage(Module1& m) { return ReceiveImage(m, kNandBackup); }
