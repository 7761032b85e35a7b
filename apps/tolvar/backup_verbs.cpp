#include <iostream>

#include "backup/backup.h"
#include "backup/image_summary.h"
#include "command_line.h"

namespace {

int RunBackup(const Arguments& args, BackupEnding (*save)(Module1&)) {
  const auto session = OpenSession(args);
  if (save(session->m) != BackupEnding::Success) return kExitFailure;
  std::cout << ImageSummary(session->m.ImagePath) << std::endl;
  return kExitSuccess;
}

}  // namespace

int BackupNorVerb(const Arguments& args) { return RunBackup(args, SaveNor); }
int BackupNandVerb(const Arguments& args) { return RunBackup(args, SaveNand); }
