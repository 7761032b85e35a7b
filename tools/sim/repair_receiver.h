#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/models.h"
#include "handheld_device.h"

// The handheld's receiving side of a repair. After its reset it answers the
// computer's connection requests 08 with 03; an announcement (05 for NOR, AA
// for NAND) then switches it to its transfer speed and it sends one byte
// there. An announcement without a connection request first is the low-speed
// connection: it answers 06 and stays at 115200 bit/s. Before every later
// frame the computer announces again and the handheld answers 06, or 15 when
// the frame before failed a check. Every frame's two XORs and header fields
// are checked; good frames are written into the emulated flash. The end frame
// 80 00 00 00 00 00 80 formats it.
//
// The computer setting 115200 bit/s stands for the user pressing reset: each
// such moment starts a new attempt. Only bytes at the handheld's own speed
// are understood.
class RepairReceiver final : public HandheldDevice {
 public:
  enum class Flash { Nor, Nand };

  struct Faults {
    int checkErrorAt = -1;     // answer the announcement before frame k with 15 (k > 0);
                               // k == 0: a 15 before the go-ahead of the connection
    int silentFrom = -1;       // no answer from the handshake of frame k on
    int flipAt = -1;           // frame k loses one payload bit on the line
    int pollsBeforeAnswer = 0; // connection requests ignored before the 03
    int attempts = 1;          // faults apply to this many attempts, then the line is clean
  };

  // What a frame looked like when its checks failed, for the tests to read.
  struct Rejected {
    int frame;        // index within the attempt
    std::string why;
  };

  explicit RepairReceiver(Flash flash, long transferSpeed = kModels[0].speed);

  Faults faults;
  int attempt = 0;              // attempts started so far
  int framesReceived = 0;       // frames of this attempt, good or bad
  int framesAccepted = 0;       // good frames over all attempts
  int connectionRequests = 0;   // 08 bytes understood, over all attempts
  bool lowSpeedConnection = false;  // this attempt connected without 08
  bool formatted = false;       // the end frame arrived
  int bytesAfterFormat = 0;     // anything the computer sent after it
  long handheldSpeed = 115200;
  std::vector<Rejected> rejected;
  // The header of every frame received, over all attempts.
  std::vector<std::array<std::uint8_t, 7>> headers;

  // The emulated flash. NOR: page number -> its 32768 bytes, NAND: logical
  // block number -> its 16896 bytes. Bytes never written hold 0xFF.
  std::map<int, std::vector<std::uint8_t>> norPages;
  std::map<int, std::vector<std::uint8_t>> nandBlocks;
  // Which 256-byte NOR frames or 528-byte NAND pages were written, per page or block.
  std::map<int, std::vector<bool>> written;

  // The reset key.
  void Reset();

  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override;
  void OnSpeed(HandheldLine& line, long speed) override;
  void OnOpen(HandheldLine& line) override;

 private:
  enum class State { Idle, Connected, WaitAnnounce, InFrame, InEndFrame, Silent, Done };
  Flash flash_;
  long transferSpeed_;
  State state_ = State::Idle;
  bool lastFrameBad_ = false;
  int ignoredPolls_ = 0;
  std::vector<std::uint8_t> frame_;

  std::uint8_t Announce() const;
  std::size_t FrameSize() const;
  bool FaultsActive() const { return attempt <= faults.attempts; }
  // Answers the announcement before frame framesReceived; false when silent.
  bool Answer(HandheldLine& line, std::uint8_t verdict);
  void TakeFrame();
  std::string CheckNor(int& page, int& slot) const;
  std::string CheckNand(int& logicalBlock, int& pageIndex) const;
};
