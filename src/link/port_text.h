#pragma once
#include <functional>
#include <string>
#include <vector>

// What a port text names. The window's list holds "com3", "com12 (USB-SERIAL
// CH340)" or "/dev/ttyUSB0 (FT232R USB UART)"; the user may also type a text.

// The port number: all the digits right after "com" (any case), so "com12"
// gives 12. A text without such digits gives 0, a port that never opens.
int PortNumberOfText(const std::string& text);

// The device a text names when it holds a path (a slash before any " ("
// description): "/dev/ttyUSB0 (FT232R USB UART)" gives "/dev/ttyUSB0".
// Empty for every other text.
std::string DevicePathOfText(const std::string& text);

// Why a port text of the window names no port ("comx", "", "com0", "ttyS0"),
// saying what it may be: "comN" with N from 1 to kHighestPort, or a device's
// path; either may be followed by a list entry's " (description)". Empty when
// it names a port.
std::string PortTextProblem(const std::string& text);

// A serial port present on the machine.
struct PresentPort {
  std::string name;         // what the window lists and --port takes: "com12" on Windows, else the device path
  std::string device;       // the system's name: "COM12", "/dev/ttyUSB0"
  std::string description;  // "USB-SERIAL CH340"; may be empty
  int vendorId = -1;        // USB ids; -1 for a port that is not a USB device
  int productId = -1;
  bool usb() const { return vendorId >= 0; }
};

// Lists the ports present now; tests put a stub in the place of the system's list.
using PortEnumerator = std::function<std::vector<PresentPort>()>;

// The port as a list shows it: "com12 (USB-SERIAL CH340)", or the name alone.
std::string ListEntry(const PresentPort& port);
