#include "support/temp_folder.h"

#include <random>

#include "common/file_exists.h"

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string& prefix) {
  std::random_device random;
  do path_ = fs::temp_directory_path() / PathFromUtf8(prefix + "-" + std::to_string(random()));
  while (!fs::create_directory(path_));
}

TempFolder::~TempFolder() {
  if (keep_) return;
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string TempFolderTest::At(const std::string& name) const { return Utf8FromPath(dir / PathFromUtf8(name)); }
