#include "backup/backup.h"
#include "command_line.h"

namespace {

int RunBackup(const Arguments& args, BackupEnding (*save)(Module1&)) {
  const auto session = OpenSession(args);
  if (!session) return kExitUsage;
  return save(session->m) == BackupEnding::Success ? kExitSuccess : kExitFailure;
}

}  // namespace

int BackupNorVerb(const Arguments& args) { return RunBackup(args, SaveNor); }
int BackupNandVerb(const Arguments& args) { return RunBackup(args, SaveNand); }
