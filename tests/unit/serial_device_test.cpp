#include "serial_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The firmware of the simulated serial devices: echo and reply per command line, and the
// breaker box's switching of the HDMI cable.

namespace luxsim {
namespace {

TEST(SerialDevice, EachKindAnswersItsOwnWay) {
  struct Case {
    SerialDeviceKind kind;
    std::string received;
    std::string sent;
    std::vector<bool> cable;  // the cable switched, plugged in (true) or out
  };
  const std::vector<Case> cases = {
      {SerialDeviceKind::kBreakerBox, "FWVER?\n", "FWVER?\nVersion 1.0\n", {}},
      {SerialDeviceKind::kBreakerBox,
       "HDMI=0\r\nHDMI=1\n",
       "HDMI=0\nOK\nHDMI=1\nOK\n",
       {false, true}},
      {SerialDeviceKind::kBreakerBox, "HDMI=2\nHDM", "HDMI=2\nERROR\n", {}},
      {SerialDeviceKind::kOtherFirmware,
       "FWVER?\nHDMI=0\n",
       "FWVER?\nVersion 1.1\nHDMI=0\nERROR\n",
       {}},
      {SerialDeviceKind::kSilent, "FWVER?\nHDMI=0\n", "", {}},
  };
  for (const Case& c : cases) {
    std::vector<bool> cable;
    SerialDevice device(c.kind, [&](bool connected) { cable.push_back(connected); });
    EXPECT_EQ(device.Receive(c.received), c.sent) << c.received;
    EXPECT_EQ(cable, c.cable) << c.received;
  }
  EXPECT_EQ(SerialDeviceKindNamed("other-firmware"), SerialDeviceKind::kOtherFirmware);
  EXPECT_FALSE(SerialDeviceKindNamed("modem"));
}

}  // namespace
}  // namespace luxsim
