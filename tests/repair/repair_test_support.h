#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/module1.h"
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
};
