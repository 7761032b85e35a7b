#include "port_verbs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const PresentPort kUart = {"/dev/ttyS0", "/dev/ttyS0", "", -1, -1};
const PresentPort kFtdi = {"/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", 0x0403, 0x6001};
const PresentPort kCh340 = {"com12", "COM12", "USB-SERIAL CH340", 0x1A86, 0x7523};

TEST(PortVerbs, PortsListsNameDeviceIdsAndDescription) {
  std::ostringstream out, err;
  EXPECT_EQ(ListPorts({kUart, kFtdi, kCh340}, out, err), 0);
  EXPECT_EQ(out.str(),
            "PORT          DEVICE        USB ID     DESCRIPTION\n"
            "/dev/ttyS0    /dev/ttyS0    -\n"
            "/dev/ttyUSB0  /dev/ttyUSB0  0403:6001  FT232R USB UART\n"
            "com12         COM12         1a86:7523  USB-SERIAL CH340\n");
  EXPECT_EQ(err.str(), "");

  std::ostringstream none, noneErr;
  EXPECT_EQ(ListPorts({}, none, noneErr), 0);
  EXPECT_EQ(none.str(), "");
  EXPECT_NE(noneErr.str().find("no serial port"), std::string::npos);
}

TEST(PortVerbs, AutoTakesTheOnlyUsbAdapterAndListsTheCandidatesOtherwise) {
  struct Case {
    std::vector<PresentPort> ports;
    std::optional<std::string> chosen;
    std::vector<std::string> says;  // on the error stream
  };
  const Case cases[] = {
      {{kUart, kFtdi}, "/dev/ttyUSB0", {}},
      {{kCh340}, "com12", {}},
      {{kUart}, std::nullopt, {"no USB serial adapter", "/dev/ttyS0"}},
      {{}, std::nullopt, {"no USB serial adapter", "no other serial port"}},
      {{kUart, kFtdi, kCh340}, std::nullopt, {"2 USB serial adapters", "/dev/ttyUSB0", "com12"}},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    EXPECT_EQ(AutoPort(c.ports, err), c.chosen);
    for (const std::string& text : c.says) EXPECT_NE(err.str().find(text), std::string::npos) << err.str();
    if (c.chosen) {
      EXPECT_EQ(err.str(), "");
    }
  }
  std::ostringstream err;
  AutoPort({kUart, kFtdi, kCh340}, err);
  EXPECT_EQ(err.str().find("/dev/ttyS0"), std::string::npos) << "only the adapters are candidates";
}

}  // namespace
