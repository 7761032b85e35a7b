#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/image_summary.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

// The file is read by its own name, also one that is no valid UTF-8 (a GBK
// name on Linux), and in pieces when it is large.
TEST(ImageSummary, GivesSizeAndSha256OfTheFile) {
  const TempFolder folder;
  const fs::path& dir = folder.path();
  const Bytes large = RandomBytes(200000, 1);
  const QByteArray largeHash = QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char*>(large.data()), static_cast<qsizetype>(large.size())),
      QCryptographicHash::Sha256);
  struct Case {
    std::string name;
    Bytes bytes;
    std::string sha256;
  };
  std::vector<Case> cases = {
      {"x.nand", {'a', 'b', 'c'}, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"空的.nand", {}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"large.nand", large, largeHash.toHex().toStdString()},
  };
#ifdef __unix__
  cases.push_back({"\xd6\xd0\xce\xc4-b.nand", {'a', 'b', 'c'}, cases[0].sha256});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir / c.name).string();
    WriteFile(path, c.bytes);
    EXPECT_EQ(ImageSummary(path), path + ": " + std::to_string(c.bytes.size()) + " 字节, SHA-256 " + c.sha256);
  }
  EXPECT_EQ(ImageSummary((dir / "missing.nand").string()), "");
}
