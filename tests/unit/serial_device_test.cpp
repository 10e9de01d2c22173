#include "serial_device.h"

#include <gtest/gtest.h>

#include <vector>

// The firmware of the simulated serial devices: echo and reply per command line, and the
// breaker box's switching of the HDMI cable.

namespace luxsim {
namespace {

TEST(SerialDevice, EachKindAnswersItsOwnWay) {
  std::vector<bool> cable;  // plugged in (true) or out, in order
  const auto device = [&cable](SerialDeviceKind kind) {
    return SerialDevice(kind, [&cable](bool connected) { cable.push_back(connected); });
  };
  EXPECT_EQ(device(SerialDeviceKind::kBreakerBox).Receive("FWVER?\nHDMI=0\r\nHDMI=1\nX\nHDM"),
            "FWVER?\nVersion 1.0\nHDMI=0\nOK\nHDMI=1\nOK\nX\nERROR\n");
  EXPECT_EQ(cable, (std::vector<bool>{false, true}));
  EXPECT_EQ(device(SerialDeviceKind::kOtherFirmware).Receive("FWVER?\nHDMI=0\n"),
            "FWVER?\nVersion 1.1\nHDMI=0\nERROR\n");
  EXPECT_EQ(device(SerialDeviceKind::kSilent).Receive("FWVER?\n"), "");
  EXPECT_EQ(cable.size(), 2u);
}

}  // namespace
}  // namespace luxsim
