#pragma once
#include <functional>
#include <string>

// Makes a finished temporary file, its bytes already on the disk, the real
// one: it takes the old target's permissions (and owner where it may), then
// it is renamed over `target` in one step, so that at every moment `target`
// holds either its old or its complete new contents. On failure the
// temporary file is left where it is, `target` is unchanged and `error` says
// why in the system's words. `beforeRename` may still call it off: false
// there changes nothing (and leaves `error` as it was).
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target, std::string& error,
                          const std::function<bool()>& beforeRename = {});
