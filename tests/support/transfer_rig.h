#pragma once
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "link/module1.h"
#include "sim_port.h"
#include "support/fake_clock.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

// What the transfer tests run the engine on: a clock that ticks on every
// look, a scripted window, the in-process port to a simulated handheld, and
// the link over them on port 1, letting events run after every poll.
struct TransferRig {
  FakeClock clock;
  FakeHost host;
  SimPort port;
  Module1 m{port, clock, host};

  TransferRig() {
    m.ComPort = 1;
    m.eventInterval = std::chrono::microseconds(0);
  }
  // The bytes the computer sent and the speed it sent each at.
  std::vector<std::pair<std::uint8_t, long>> Sent() const;
  // True when the computer never left the base speed.
  bool OnlyBaseSpeed() const;
};

// A transfer test: the rig, and a fresh folder for the image files.
class TransferTest : public TempFolderTest, public TransferRig {};
