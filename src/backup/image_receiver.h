#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "backup/backup.h"

// What tells the two backups apart; everything else they do alike.
struct BackupFlavor {
  std::uint8_t announcement;  // 05 for NOR frames, AA for NAND pages
  std::size_t payloadSize;    // 256 or 528
  int framesPerBar;           // 128 frames per NOR page, 32 pages per NAND block
  const char* successMessage;
  bool nand;                  // NAND: first block number kept, trailer appended
};

extern const BackupFlavor kNorBackup;
extern const BackupFlavor kNandBackup;

// Receives one image from the handheld into ImagePath, with every restart the
// user asks for. The port is open.
BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor);

// The starting logical block number a NAND image ends with, from the block
// number f of its first frame.
inline unsigned StartingLogicalBlock(unsigned firstBlock) { return firstBlock == 0x1FFF ? 1 : firstBlock + 2; }
