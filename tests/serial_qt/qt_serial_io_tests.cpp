#include "link/qt_serial_io.h"
#include "link/serial_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>

#include "link/serial_trace.h"
#include "pty_devices.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

class QtSerialIoOverPty : public ::testing::Test {
 protected:
  RecordingDevice device;
  PtyLine line{device};
  QtSerialIo io;

  void SetUp() override {
    ASSERT_TRUE(line.Ok()) << line.Error();
    io.SetDevice(1, line.SlavePath());
    line.Start();
  }
  void TearDown() override {
    io.sio_close(1);
    line.Stop();
  }
  void OpenAtBaseSpeed() {
    ASSERT_EQ(io.sio_open(1), 0) << io.LastError();
    ASSERT_EQ(io.sio_ioctl(1, kBaudCode115200, kMode8N1), 0);
  }
  // Reads `count` bytes, giving up after a generous wait.
  std::vector<std::uint8_t> Read(std::size_t count) {
    std::vector<std::uint8_t> got;
    WaitFor([&] {
      for (int c; got.size() < count && (c = io.sio_getch(1)) >= 0;) got.push_back(static_cast<std::uint8_t>(c));
      return got.size() >= count;
    });
    return got;
  }
};

TEST_F(QtSerialIoOverPty, OpensSetsSpeedsAndRefusesZero) {
  OpenAtBaseSpeed();
  EXPECT_TRUE(WaitFor([&] { return line.ComputerSpeed() == 115200; }));
  EXPECT_EQ(io.sio_baud(1, 921600), 0);
  EXPECT_TRUE(WaitFor([&] { return !device.speeds().empty() && device.speeds().back() == 921600; }));
  EXPECT_EQ(io.sio_baud(1, 230400), 0);
  EXPECT_NE(io.sio_baud(1, 0), 0);
  EXPECT_EQ(line.ComputerSpeed(), 230400) << "a refused speed leaves the line as it was";
  EXPECT_NE(io.sio_ioctl(1, kBaudCode115200, 0x40), 0) << "a line mode other than 8N1";
  EXPECT_NE(io.sio_ioctl(1, kBaudCode115200 + 1, kMode8N1), 0) << "a speed code other than 115200 bit/s";

  // One connection at a time; calls on other ports fail.
  EXPECT_NE(io.sio_open(1), 0);
  EXPECT_LT(io.sio_getch(2), 0);
  EXPECT_NE(io.sio_putch(2, 0x41), 1);
  EXPECT_EQ(io.sio_close(1), 0);
  EXPECT_TRUE(WaitFor([&] { return !line.ComputerHasOpen(); }));
  EXPECT_LT(io.sio_getch(1), 0) << "closed";
  EXPECT_EQ(io.sio_open(1), 0) << "the device is free again: " << io.LastError();
}

TEST(QtSerialIoPorts, MapsPortNumbersAndRejectsUnknownOnes) {
  QtSerialIo io;
  ::unsetenv("TOLVAR_COM3");
  EXPECT_EQ(io.DeviceOf(3).toStdString(), "/dev/ttyS2");
  ::setenv("TOLVAR_COM3", "/dev/ttyUSB7", 1);
  EXPECT_EQ(io.DeviceOf(3).toStdString(), "/dev/ttyUSB7");
  ::unsetenv("TOLVAR_COM3");
  io.SetDevice(3, "/tmp/other");
  EXPECT_EQ(io.DeviceOf(3).toStdString(), "/tmp/other");
  EXPECT_TRUE(io.DeviceOf(0).isEmpty());
  EXPECT_TRUE(io.DeviceOf(-1).isEmpty());
  EXPECT_TRUE(io.DeviceOf(kHighestPort + 1).isEmpty());

  EXPECT_NE(io.sio_open(0), 0);
  EXPECT_FALSE(io.LastError().empty());
  ::setenv("TOLVAR_COM9", "/nonexistent/tty-of-nobody", 1);
  EXPECT_NE(io.sio_open(9), 0);
  EXPECT_NE(io.LastError().find("/nonexistent/tty-of-nobody"), std::string::npos) << io.LastError();
  ::unsetenv("TOLVAR_COM9");
  EXPECT_NE(io.sio_ioctl(9, kBaudCode115200, kMode8N1), 0) << "not open";
  EXPECT_NE(io.sio_baud(9, 115200), 0);
}

// A device named with a slash opens as given, from the current folder; a bare
// name is a device in /dev. Messages and the trace name the device tried.
TEST_F(QtSerialIoOverPty, NamedDevicesOpenAsGivenAndAreNamedInMessages) {
  const TempFolder temp;
  const std::filesystem::path& folder = temp.path();
  std::filesystem::create_directories(folder / "sub");
  std::filesystem::create_symlink(line.SlavePath(), folder / "sub" / "regport");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const std::string trace = (folder / "trace.txt").string();
  {
    SerialTrace traced(io, trace);
    traced.SetDevice(kNamedPort, "sub/regport");
    EXPECT_EQ(traced.sio_open(kNamedPort), 0) << io.LastError();
    EXPECT_EQ(traced.PortNote(), (folder / "sub" / "regport").string()) << "a pty has no low-latency mode";
    traced.sio_close(kNamedPort);

    traced.SetDevice(kNamedPort, "regport");
    EXPECT_NE(traced.sio_open(kNamedPort), 0);
    EXPECT_EQ(io.LastError().rfind("/dev/regport: ", 0), 0u) << io.LastError();
  }
  std::ifstream in(trace);
  const std::string traced((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(traced.find("open port " + std::to_string(kNamedPort) + ": " + (folder / "sub" / "regport").string()),
            std::string::npos) << traced;
  EXPECT_NE(traced.find("failed: /dev/regport: "), std::string::npos) << traced;
  std::filesystem::current_path(previous);
}

TEST_F(QtSerialIoOverPty, EmptyLineAnswersNoneWithoutBlocking) {
  OpenAtBaseSpeed();
  // A blocking read would hang here; the bound is loose on purpose.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) EXPECT_LT(io.sio_getch(1), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(QtSerialIoOverPty, EveryByteValueCrossesUnchanged) {
  device.echo = true;
  OpenAtBaseSpeed();
  ASSERT_EQ(io.sio_baud(1, 921600), 0);
  std::vector<char> all(256);
  std::iota(all.begin(), all.end(), 0);  // CR, LF, XON, XOFF, Ctrl-C, DEL and the rest
  EXPECT_EQ(io.sio_write(1, all.data(), 256), 256);
  const std::vector<std::uint8_t> echoed = Read(256);
  ASSERT_EQ(echoed.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(echoed[static_cast<std::size_t>(i)], i);
  for (int b : {0x0D, 0x0A, 0x11, 0x13, 0x03, 0xFF}) EXPECT_EQ(io.sio_putch(1, b), 1);
  EXPECT_EQ(Read(6), (std::vector<std::uint8_t>{0x0D, 0x0A, 0x11, 0x13, 0x03, 0xFF}));
}

TEST_F(QtSerialIoOverPty, BytesSentAtAnotherSpeedArriveGarbled) {
  device.echo = false;
  OpenAtBaseSpeed();
  ASSERT_TRUE(WaitFor([&] { return line.ComputerHasOpen() && line.ComputerSpeed() == 115200; }));
  const std::uint8_t hello = 0x08;
  line.Send(&hello, 1, 921600);
  EXPECT_EQ(Read(1), std::vector<std::uint8_t>{0x00});
}

TEST_F(QtSerialIoOverPty, FlushDropsWhatWaits) {
  OpenAtBaseSpeed();
  ASSERT_TRUE(WaitFor([&] { return line.ComputerHasOpen() && line.ComputerSpeed() == 115200; }));
  const std::uint8_t junk[] = {1, 2, 3, 4};
  line.Send(junk, sizeof junk, 115200);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(io.sio_flush(1, 2), 0);
  EXPECT_LT(io.sio_getch(1), 0);
}

TEST_F(QtSerialIoOverPty, CloseLetsQueuedBytesLeave) {
  device.stallOnFirstByte = 300ms;  // the line is not read while the computer queues
  io.drainMilliseconds = 30000;      // a pty on a busy machine moves 256 KiB slowly
  OpenAtBaseSpeed();
  std::vector<char> lots(256 * 1024);
  for (std::size_t i = 0; i < lots.size(); ++i) lots[i] = static_cast<char>(i * 7);
  ASSERT_EQ(io.sio_write(1, lots.data(), static_cast<int>(lots.size())), static_cast<int>(lots.size()));
  const char format[] = {'\x80', 0, 0, 0, 0, 0, '\x80'};
  ASSERT_EQ(io.sio_write(1, format, 7), 7);
  EXPECT_EQ(io.sio_close(1), 0);
  ASSERT_TRUE(WaitFor([&] { return device.received().size() >= lots.size() + 7; }))
      << "received " << device.received().size();
  const std::vector<std::uint8_t> got = device.received();
  EXPECT_TRUE(std::equal(format, format + 7, got.end() - 7,
                         [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
}

}  // namespace
