#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/module1.h"
#include "repair/repair_ending.h"
#include "repair_receiver.h"
#include "sim_port.h"
#include "support/fake_clock.h"
#include "support/fake_host.h"
#include "support/files.h"

// Makes the file refuse writing even to root (mode 0444, then the immutable
// attribute where the file system has one). False when that is impossible here.
bool MakeReadOnly(const std::filesystem::path& path);
void MakeWritable(const std::filesystem::path& path);

// A temporary folder, a fake window and clock, and a simulated handheld
// receiving the repair on port 1.
class RepairFixture : public ::testing::Test {
 public:
  std::filesystem::path dir;
  FakeClock clock;
  FakeHost host;
  SimPort port;
  Module1 m{port, clock, host};

  void SetUp() override;
  void TearDown() override;
  void Attach(RepairReceiver& receiver) { port.Attach(&receiver); }
  // The bytes the computer sent and the speed it sent each at.
  std::vector<std::pair<std::uint8_t, long>> Sent() const;
  // The speeds the computer ever set.
  bool OnlyBaseSpeed() const;
  // The handheld falls silent before frame 5, and the user confirms a cancel
  // at the n-th pass of events of that wait, for every n up to `passes` (past
  // the time-out). Each such cancel must end the repair as a cancel, without
  // the time-out question. True when one came just as the wait gave up.
  bool CancelAtEveryPassOfASilentWait(RepairReceiver& handheld, RepairReceiver::Flash flash, int passes,
                                      const std::function<RepairEnding()>& run);
};
