#pragma once
#include <cstdint>
#include <vector>

#include "common/models.h"
#include "handheld_device.h"

// The handheld's sending side of a backup: hello 08, then for every frame an
// announcement (05 for NOR, AA for NAND), the computer's go-ahead 06, and the
// frame; last the end frame. The handheld switches to its transfer speed
// right after its first announcement and listens only at that speed from then
// on. Each start or restart of the computer's attempt (it sets 115200 bit/s)
// starts the sending side anew, as the user does on the handheld: at the
// block `startBlock` of its flash (the first one unless told otherwise).
//
// The computer answers an announcement only when the frame before it passed
// its checks, so every go-ahead confirms the frames sent before it. A NAND
// sender told to `resume` starts a restart at the first block not confirmed
// in full, as a user picks the block to continue from on the handheld.
class BackupSender final : public HandheldDevice {
 public:
  enum class Flash { Nor, Nand };

  struct Faults {
    int junkBeforeHello = 0;       // bytes other than 08 before the hello
    int junkBeforeAnnounce = 0;    // bytes before every announcement
    int badHeaderAt = -1;          // data frame k (0-based) with a wrong header check;
                                   // k == number of frames: the end frame
    int badPayloadAt = -1;         // data frame k with a wrong payload check
    int flipAt = -1;               // data frame k loses one payload bit on the line
    int silentFrom = -1;           // nothing more from before frame k's announcement
    int silentInFrameAt = -1;      // frame k stops after its header and half its payload
    int firstPage = 0;             // NOR: header byte 1 of the first data frame
    std::uint8_t firstHeaderByte0 = 0xFF;  // NAND: overrides byte 0 of the first frame when not FF
    int attempts = 1;              // faults apply to this many attempts, then the line is clean
  };

  // `image` is the flash as the computer should receive it: 256-byte frames for
  // NOR, 528-byte pages for NAND. `firstBlock` is the NAND block number the
  // first frame carries (0x1FFF for logical block 1).
  BackupSender(Flash flash, std::vector<std::uint8_t> image, long transferSpeed = kModels[0].speed, int firstBlock = 0);

  Faults faults;
  bool autoStart = true;   // start when the computer sets 115200 bit/s
  bool resume = false;     // NAND: a restart starts at FirstBlockNotConfirmed()
  int startBlock = 0;      // the block of `image` the next start sends first
  int attempt = 0;         // attempts started so far
  int framesSent = 0;      // data frames of this attempt
  long handheldSpeed = 115200;

  void Start(HandheldLine& line);
  // The first block of `image` whose frames the computer has not all
  // confirmed; 0 again once the end frame went out (a new backup starts
  // from the beginning).
  int FirstBlockNotConfirmed() const;

  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override;
  void OnSpeed(HandheldLine& line, long speed) override;

 private:
  enum class State { Off, WaitHelloAnswer, WaitGoAhead, Done, Silent };
  Flash flash_;
  std::vector<std::uint8_t> image_;
  long transferSpeed_;
  int firstBlock_;
  State state_ = State::Off;
  int confirmed_ = 0;  // frames of `image` the computer confirmed, from the first on

  std::size_t PayloadSize() const;
  int FrameCount() const;
  bool FaultsActive() const { return attempt <= faults.attempts; }
  void Announce(HandheldLine& line);
  void SendFrame(HandheldLine& line);
};
