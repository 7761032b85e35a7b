#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// A fresh folder of its own in the system's temporary folder, removed with
// everything in it when it goes, even when a test took away its write
// permission. Its name begins with `prefix` (UTF-8).
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "tolvar-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Leaves the folder in place, for a failed test's files to be looked at.
  void Keep() { keep_ = true; }

 private:
  std::filesystem::path path_;
  bool keep_ = false;
};

// A test whose files go into a fresh folder, `dir`.
class TempFolderTest : public ::testing::Test {
 public:
  explicit TempFolderTest(const std::string& prefix = "tolvar-test") : folder(prefix) {}
  TempFolder folder;
  const std::filesystem::path dir{folder.path()};

  // A file in the folder, by its UTF-8 path as the engine takes it.
  std::string At(const std::string& name) const;
};
