#pragma once
#include "common/binary_file.h"

#include "link/module1.h"
#include "repair/repair_checks.h"
#include "repair/repair_ending.h"
#include "repair/repair_link.h"

// The NOR repair with the main window locked: open the port, repair, close
// the port, restore the window, unload the cancel dialog. ImagePath and
// ComPort must be set. Afterwards HandheldWritten tells whether any frame
// went out.
RepairEnding BackNor(Module1& m, const NorRepairOptions& options);

// The repair alone (the port is open): correct the check values when pages 02
// to the last are chosen, then prompt for the reset, connect and send the
// chosen pages, starting over from the prompt after a time-out answered Yes.
// When the check values cannot be corrected the repair says so and ends
// before the prompt, sending nothing.
RepairEnding RepairNor(Module1& m, const NorRepairOptions& options);

// One page as 128 frames of 256 bytes, each after its handshake.
AttemptEnd SendNorPage(RepairLink& link, BinaryFile& image, int page);
