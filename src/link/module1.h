#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/handheld_layout.h"
#include "link/host.h"
#include "link/serial_io.h"
#include "link/serial_trace.h"
#include "link/tick_clock.h"

// The one serial connection with the handheld, the state that the transfers,
// the main window and the cancel dialog share, and the byte primitives every
// transfer is built from. It lives for the whole run of the program; the port
// itself is open only for one task at a time. Only Module1 calls the serial
// layer.
class Module1 {
 public:
  // When the environment variable TOLVAR_TRACE names a file, everything on
  // the line is traced into it (see SerialTrace).
  Module1(SerialIo& serial, TickClock& clock, Host& host)
      : clock(clock), host(host), trace_(SerialTrace::FromEnvironment(serial)), io_(trace_ ? *trace_ : serial) {}

  // --- connection state ---
  int ComPort = 0;            // serial library port number
  std::string ImagePath;      // image file of the current backup or repair (UTF-8)
  int ModelBaud = 0;          // the model's ModelSpeed, 0 for a text that names none
  int PortResult = 0;         // result of the last serial call stored
  bool CancelFlag = false;    // the user confirmed cancelling
  bool TimeoutFlag = false;   // the last wait gave up
  bool PortLost = false;      // the port's device went away (see ReceiveByte); OpenPort clears it
  bool SpeedSwitched = false; // the connection handshake of this attempt is over
  std::uint8_t RunningXor = 0;
  bool FirstPageSeen = false; // NOR backup: the first data frame passed the page 00 test
  int TransferKind = 0;       // 1 while a backup runs, 0 while a repair runs
  bool HandheldWritten = false; // the repair running or ended last has sent the handheld a frame
  int FirstUnconfirmedBlock = 0; // a NAND repair that ended early: the first file block the handheld did not confirm
  std::string PartialImage;  // the image of their own that the NAND backup ended last saved whole blocks in
  std::array<std::uint8_t, wire::kHeaderSize> HeaderBuffer{};
  std::array<std::uint8_t, wire::kNandFrameSize> TransferBuffer{};  // the largest frame

  // --- primitives ---
  // One byte from the port. Returns 0 with TimeoutFlag set after 200 ticks of
  // silence, and 0 with TimeoutFlag clear as soon as CancelFlag is set. A
  // port whose device went away gives up at once: 0 with TimeoutFlag and
  // PortLost set, so that a caller that knows only time-outs stops as well.
  std::uint8_t ReceiveByte();
  // One poll of the port for waits that count their own ticks: the byte
  // waiting (0 to 255), or a negative value when there is none. Never blocks.
  // A negative value with PortLost set means none will come.
  int PollByte() {
    const int value = io_.sio_getch(ComPort);
    if (value < 0 && !PortLost && io_.PortLost()) NoteLost();
    return value;
  }
  // Queues one byte. Returns false (and sets TimeoutFlag) when the port keeps
  // refusing it for 200 ticks, which the transfers treat as a time-out, and
  // at once when the port is lost (PortLost set too).
  bool SendByte(std::uint8_t byte);
  // The first `size` bytes of TransferBuffer in one write; the result is stored.
  void WriteFrame(std::size_t size);
  // Opens ComPort at 115200 bit/s 8N1; says "串口打开失败!" and returns false on failure.
  bool OpenPort();
  void ClosePort();
  // A restart after the port was lost: closes what is left of it and opens
  // it afresh (the device may be back, under the same name).
  bool ReopenPort() {
    ClosePort();
    return OpenPort();
  }
  // What the user is told when the port was lost: "串口已断开!" and why.
  std::string LostPortText() const;
  // Makes ComPort the port that stands for a device chosen by its name.
  void UseDevice(const std::string& device) {
    ComPort = kNamedPort;
    io_.SetDevice(kNamedPort, device);
  }
  // Reads the model from the main window, sets ModelBaud and switches the port to it.
  bool SwitchToModelSpeed();
  // Sets the port back to 115200 bit/s; the result is stored only.
  void SetBaseSpeed();
  // The 7-byte end frame 80 00 00 00 00 00 80 in one write.
  void SendFormatCommand();
  // Empties the port's input and output buffers (after a time-out).
  void FlushPort();
  void RequestCancel() { CancelFlag = true; }
  // A wait gave up: sets TimeoutFlag and notes it in the trace.
  void TimedOut();
  // The port was lost: sets PortLost and notes why in the trace.
  void NoteLost();

  // For waits that poll the port themselves: lets pending events run after a
  // poll. They run after every empty poll, and about once a millisecond
  // while bytes keep arriving, so that a fast line is not slowed by them.
  void YieldAfterPoll(bool gotByte);

  // Time between two event passes while bytes keep arriving. Tests set 0 to
  // process events after every poll.
  std::chrono::microseconds eventInterval{1000};

  TickClock& clock;
  Host& host;

 private:
  std::unique_ptr<SerialTrace> trace_;
  SerialIo& io_;
  std::chrono::steady_clock::time_point lastEvents_{};
  int bytesSinceClockLook_ = 0;
  static constexpr int kBytesPerClockLook = 32;
};

// Tick limit of ReceiveByte and of a refused SendByte.
inline constexpr int kReceiveTicks = 200;
