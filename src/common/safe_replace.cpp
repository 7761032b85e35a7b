#include "common/safe_replace.h"

#include "common/platform_files.h"

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target, std::string& error) {
  return KeepPermissions(temporary, target, error) && SyncToDisk(temporary, error) &&
         RenameOver(temporary, target, error);
}
