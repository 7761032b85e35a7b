#pragma once
#include "common/binary_file.h"

#include "link/module1.h"
#include "repair/repair_checks.h"
#include "repair/repair_ending.h"
#include "repair/repair_link.h"

// The NAND repair with the main window locked: open the port, repair blocks
// firstBlock..lastBlock (1-based file blocks), close the port, restore the
// window, unload the cancel dialog. ImagePath and ComPort must be set.
// Afterwards HandheldWritten tells whether any frame went out, and after an
// early ending FirstUnconfirmedBlock names where a repair must start again.
RepairEnding BackNand(Module1& m, int firstBlock, int lastBlock, int startLogicalBlock, const NandRepairOptions& options);

// The repair alone (the port is open): prompt with the range, connect, send
// each block, starting over at firstBlock after a time-out answered Yes.
RepairEnding RepairNand(Module1& m, int firstBlock, int lastBlock, int startLogicalBlock, const NandRepairOptions& options);

// File block b (1-based) as 32 frames, one per page, each after its handshake.
AttemptEnd SendNandBlock(RepairLink& link, BinaryFile& image, int startLogicalBlock, int block);
