#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/serial_io.h"
#include "handheld_device.h"

// An in-process serial port with a simulated handheld on the other end. The
// computer's side uses it through the sio_* calls; the handheld's side is a
// HandheldDevice. Bytes sent at one speed and read at another arrive garbled,
// as on a real line. Everything that crosses the line is logged.
class SimPort final : public SerialIo, public HandheldLine {
 public:
  struct WireByte {
    bool toHandheld;
    std::uint8_t byte;
    long speed;
  };

  explicit SimPort(HandheldDevice* device = nullptr) : device_(device) {}
  void Attach(HandheldDevice* device) { device_ = device; }

  // --- the computer's side ---
  int sio_open(int port) override;
  int sio_ioctl(int port, int baud, int mode) override;
  int sio_baud(int port, long speed) override;
  int sio_flush(int port, int func) override;
  int sio_getch(int port) override;
  int sio_putch(int port, int byte) override;
  int sio_write(int port, const char* buffer, int length) override;
  int sio_close(int port) override;
  // Devices named for port numbers, kept for the tests to read.
  void SetDevice(int port, const std::string& device) override { devices[port] = device; }
  std::map<int, std::string> devices;
  std::string LastError() const override { return lost ? "sim: 设备已断开" : failOpen ? openError : std::string(); }
  bool PortLost() const override { return isOpen && lost; }

  // --- the handheld's side ---
  void Send(const std::uint8_t* bytes, std::size_t count, long speed) override;
  using HandheldLine::Send;

  // --- what happened ---
  std::vector<WireByte> wire;
  std::vector<long> speeds;  // every speed the computer set, in order
  bool isOpen = false;
  int opens = 0, closes = 0, flushes = 0, getchCalls = 0;
  long speed = 0;  // the computer's current speed (0 while closed)
  std::size_t waiting() const { return input_.size(); }
  // Bytes the computer sent, in order.
  std::vector<std::uint8_t> SentByComputer() const;

  // --- faults of the port itself ---
  int port = 1;                 // the only port that opens
  bool failOpen = false;
  std::string openError;        // what LastError says while failOpen is set
  bool lost = false;            // the device has gone: nothing crosses the line
  bool failIoctl = false;
  std::set<long> refusedSpeeds = {0};
  int putchRefusals = 0;        // the next n sio_putch calls answer 0; negative: refuse forever
  // Called on every sio_getch before it answers (tests act "between polls").
  std::function<void()> onPoll;

 private:
  HandheldDevice* device_;
  struct Pending {
    std::uint8_t byte;
    long speed;
  };
  std::deque<Pending> input_;
  void FromComputer(std::uint8_t byte);
};
