#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "backup/image_summary.h"

namespace fs = std::filesystem;

TEST(ImageSummary, GivesSizeAndSha256OfTheFile) {
  const fs::path file = fs::temp_directory_path() / "tolvar-summary.nand";
  std::ofstream(file, std::ios::binary) << "abc";
  EXPECT_EQ(ImageSummary(file.string()),
            file.string() + ": 3 字节, SHA-256 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  fs::remove(file);
  EXPECT_EQ(ImageSummary(file.string()), "");
}
