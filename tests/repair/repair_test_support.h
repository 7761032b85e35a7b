#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "repair/repair_ending.h"
#include "repair_receiver.h"
#include "support/files.h"
#include "support/transfer_rig.h"

// Makes the file refuse writing even to root (mode 0444, then the immutable
// attribute where the file system has one). False when that is impossible here.
bool MakeReadOnly(const std::filesystem::path& path);
void MakeWritable(const std::filesystem::path& path);

// The transfer rig, its handheld receiving the repair. Files made read-only
// become writable again before the folder goes.
class RepairFixture : public TransferTest {
 public:
  void TearDown() override;
  // The handheld falls silent before frame 5, and the user confirms a cancel
  // at the n-th pass of events of that wait, for every n up to `passes` (past
  // the time-out). Each such cancel must end the repair as a cancel, without
  // the time-out question. True when one came just as the wait gave up.
  bool CancelAtEveryPassOfASilentWait(RepairReceiver& handheld, RepairReceiver::Flash flash, int passes,
                                      const std::function<RepairEnding()>& run);
};
