#include <gtest/gtest.h>

#include "backup/backup.h"
#include "backup_sender.h"
#include "common/image_layout.h"
#include "converter/conversions.h"
#include "recording_host.h"
#include "support/files.h"
#include "support/transfer_rig.h"

namespace fs = std::filesystem;
using namespace nand;

namespace {
class BackupInterchangeTest : public TempFolderTest {};
}  // namespace

// A handheld whose flash holds pages with spare areas made by our rules is
// backed up by Tolvar; Corvane turns that image into data and back, and gets
// the received image again, byte for byte.
TEST_F(BackupInterchangeTest, ABackedUpImageSurvivesTheWayToDataAndBack) {
  for (const unsigned start : {1u, 0x0C32u}) {
    const Bytes data = RandomBytes(3 * kDataBlockSize, start);
    WriteFile(At("flash.dat"), data);
    RecordingHost corvane;
    ASSERT_EQ(Data2Nand(corvane, At("flash.dat"), At("flash.nand"), start == 1 ? "1" : "C32"),
              ConversionResult::Success);
    Bytes pages = ReadFile(At("flash.nand"));
    pages.resize(pages.size() - kTrailerSize);

    // The wire carries the block code: logical block - 2, or 1FFF for block 1.
    BackupSender sender(BackupSender::Flash::Nand, pages, 921600, start == 1 ? 0x1FFF : static_cast<int>(start - 2));
    TransferRig tolvar;
    tolvar.port.Attach(&sender);
    tolvar.m.ImagePath = At("backup.nand");
    ASSERT_EQ(SaveNand(tolvar.m), BackupEnding::Success);
    ASSERT_EQ(ReadFile(At("backup.nand")), ReadFile(At("flash.nand")));

    corvane.answers = {true};
    ASSERT_EQ(Nand2Data(corvane, At("backup.nand"), At("backup.dat")), ConversionResult::Success);
    EXPECT_EQ(ReadFile(At("backup.dat")), data);
    corvane.answers = {true};
    ASSERT_EQ(Data2Nand(corvane, At("backup.dat"), At("again.nand"), start == 1 ? "1" : "C32"),
              ConversionResult::Success);
    EXPECT_EQ(ReadFile(At("again.nand")), ReadFile(At("backup.nand")));
    for (const char* name : {"flash.dat", "flash.nand", "backup.nand", "backup.dat", "again.nand"})
      fs::remove(dir / name);
  }
}
