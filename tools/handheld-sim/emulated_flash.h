#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/image_layout.h"

// The simulated handheld's two flash memories.
//
// NOR: pages of 32768 bytes, numbered from 00. NAND: blocks of 32 pages of
// 528 bytes (512 data + 16 spare), keyed by logical block number. Bytes never
// written read as FF.
struct EmulatedFlash {
  std::map<int, std::vector<std::uint8_t>> norPages;
  std::map<int, std::vector<std::uint8_t>> nandBlocks;

  // A default NOR of `pages` pages and a NAND of `blocks` blocks from logical
  // block `startBlock` on, with spare areas built by the page rules.
  static EmulatedFlash Generated(int pages, int blocks, int startBlock);

  // Image files as the backups write them. False with `error` set on failure.
  bool LoadNor(const std::string& path, std::string& error);
  bool LoadNand(const std::string& path, std::string& error);
  bool SaveNor(const std::string& path, std::string& error) const;
  bool SaveNand(const std::string& path, std::string& error) const;

  // What a backup sends: every NOR page from 00 to the highest one; every
  // NAND block from the lowest logical block to the highest (gaps read FF).
  std::vector<std::uint8_t> NorImage() const;
  std::vector<std::uint8_t> NandImage() const;
  // Logical block of the first NAND block sent (2 when the NAND is empty).
  int FirstNandBlock() const;
};
