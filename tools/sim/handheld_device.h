#pragma once
#include <cstddef>
#include <cstdint>

// The computer's end of the line as the simulated handheld sees it.
class HandheldLine {
 public:
  virtual ~HandheldLine() = default;
  // Bytes from the handheld to the computer, sent at the handheld's `speed`.
  virtual void Send(const std::uint8_t* bytes, std::size_t count, long speed) = 0;
  void Send(std::uint8_t byte, long speed) { Send(&byte, 1, speed); }
};

// One role the simulated handheld plays (sending a backup, receiving a
// repair). It is driven by the line: bytes from the computer, the computer's
// speed changes, and moments when the computer waits for a byte and none is
// there.
class HandheldDevice {
 public:
  virtual ~HandheldDevice() = default;
  // A byte from the computer, sent at `speed`; the device decides whether it
  // listens at that speed.
  virtual void OnByte(HandheldLine& line, std::uint8_t byte, long speed) = 0;
  // The computer (re)configured its speed.
  virtual void OnSpeed(HandheldLine&, long /*speed*/) {}
  // The computer polled and found nothing waiting.
  virtual void OnIdle(HandheldLine&) {}
  // The computer opened or closed the port.
  virtual void OnOpen(HandheldLine&) {}
  virtual void OnClose(HandheldLine&) {}
};
