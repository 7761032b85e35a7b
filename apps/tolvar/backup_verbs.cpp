#include <iostream>

#include "backup/backup.h"
#include "backup/image_summary.h"
#include "command_line.h"
#include "common/interruption.h"
#include "image_check/image_check.h"

namespace {

int RunBackup(const Arguments& args, BackupEnding (*save)(Module1&)) {
  const auto session = OpenSession(args);
  const BackupEnding ending = save(session->m);
  // Once the image replaced the file the backup has succeeded, whatever came after.
  if (ending == BackupEnding::Cancel || (ending != BackupEnding::Success && Interrupted()))
    session->host.ShowMessage("已取消: 没有保存任何数据, " + session->m.ImagePath + " 没有改变.");
  if (ending != BackupEnding::Success) return kExitFailure;
  std::cout << ImageSummary(session->m.ImagePath) << '\n' << Verdict(CheckImageFile(session->m.ImagePath)) << std::endl;
  return kExitSuccess;
}

}  // namespace

int BackupNorVerb(const Arguments& args) { return RunBackup(args, SaveNor); }
int BackupNandVerb(const Arguments& args) { return RunBackup(args, SaveNand); }
