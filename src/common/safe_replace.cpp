#include "common/safe_replace.h"

#include "common/platform_files.h"

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target, std::string& error,
                          const std::function<bool()>& beforeRename) {
  return KeepPermissions(temporary, target, error) && (!beforeRename || beforeRename()) &&
         RenameOver(temporary, target, error);
}
