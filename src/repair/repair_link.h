#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "link/module1.h"
#include "repair/repair_ending.h"

// The machinery both repairs share: the waits before a frame, the attempts
// with their reset prompt and time-out question, the closing steps, and the
// frames themselves.

// How a step of an attempt ended: the wait before a frame (Done: go ahead),
// a frame, a page or block, or the whole pass over them. Every step hands
// its end on to the one that called it.
enum class AttemptEnd {
  Done,
  Timeout,     // a wait ran out of ticks: the user is asked whether to start again
  Cancel,      // the user confirmed cancelling (also while a wait was giving up)
  CheckError,  // the handheld answered 0x15; "文曲星端校验错!" was shown
  SpeedError,  // the port refused the model's speed; "更改串口设置时出错!" was shown
  FileError,   // the image could not be read
  PortLost,    // the port's device went away: the user is asked whether to try again
};

// Tick limits of the waits.
inline constexpr int kConnectTicks = 300;      // whole 0x08 polling connection
inline constexpr int kPollAnswerTicks = 10;    // answer to one 0x08
inline constexpr int kLowSpeedTicks = 200;     // first go-ahead in low-speed mode
inline constexpr int kNorFrameTicks = 100;     // go-ahead before a later NOR frame
inline constexpr int kNandFrameTicks = 60;     // go-ahead before a later NAND frame

class RepairLink {
 public:
  RepairLink(Module1& m, std::uint8_t announce, int frameTicks, bool lowSpeed)
      : m(m), announce_(announce), frameTicks_(frameTicks), lowSpeed_(lowSpeed) {}

  // The wait before a frame: the connection handshake for the first frame of
  // an attempt (SpeedSwitched clear), the short one after that. Done when the
  // frame may go; a time-out also sets TimeoutFlag.
  AttemptEnd BeforeFrame();

  // The wait before a frame, then the frame itself: `build` fills
  // TransferBuffer and returns the frame's size. Done once it went out.
  template <typename Build>
  AttemptEnd SendFrame(Build build) {
    const AttemptEnd wait = BeforeFrame();
    if (wait == AttemptEnd::Done) {
      m.HandheldWritten = true;
      m.WriteFrame(build(m.TransferBuffer.data()));
    }
    return wait;
  }

  // Runs attempts until one is not a time-out answered Yes: reset prompt, base
  // speed, "正在与文曲星连接...", then `sendAll`. After a time-out the bars go
  // back (the total one to `totalMinimum`) and the user is asked whether to
  // start again. After a lost port the same, and a new attempt opens the
  // port afresh. Returns Success when `sendAll` finished; the caller then
  // closes its image and calls Finish.
  RepairEnding RunAttempts(const std::string& prompt, int totalMinimum, const std::function<AttemptEnd()>& sendAll);

  // The end of a repair that sent everything: the format command if chosen,
  // then "恭喜，已成功修复！".
  RepairEnding Finish(bool format);

  // Frames of the attempt under way (or the last one) that the handheld
  // confirmed: its go-ahead for a frame says that the frame before passed
  // its checks.
  int FramesConfirmed() const { return framesConfirmed_; }

  Module1& m;

 private:
  AttemptEnd WaitForGoAhead(int tickLimit, bool checkErrors);
  AttemptEnd ConnectByPolling();
  AttemptEnd TimedOut();
  AttemptEnd StopWith(AttemptEnd end, const std::string& message);

  std::uint8_t announce_;
  int frameTicks_;
  bool lowSpeed_;
  int framesConfirmed_ = 0;
};

// The reset prompt's request, by mode.
std::string ResetRequest(bool lowSpeed);

// Frames. Each fills TransferBuffer-sized storage and returns the frame size.
// NOR: kind 0x40, page, address 0x8000 + k * 256 (page 00) or 0x4000 + k * 256,
// length 256 low byte first, then 256 payload bytes and their XOR.
std::size_t BuildNorFrame(std::uint8_t* frame, int page, int k, const std::uint8_t* payload);
// NAND: block code high byte first, 0, 2 * page index, length 528 low byte
// first, then the page's 528 bytes and their XOR.
std::size_t BuildNandFrame(std::uint8_t* frame, int blockCode, int pageIndex, const std::uint8_t* payload);
