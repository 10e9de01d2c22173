#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace luxsim {

/// What answers on a simulated COM port.
enum class SerialDeviceKind {
  kBreakerBox,     // the breaker box: firmware "Version 1.0", switches the headset's HDMI cable
  kOtherFirmware,  // a device that speaks the same lines but answers "Version 1.1"
  kSilent,         // a device that takes every byte and never answers
};

/// The kind named `name` ("breaker-box", "other-firmware", "silent"); nothing for other names.
std::optional<SerialDeviceKind> SerialDeviceKindNamed(std::string_view name);

/// The firmware of a simulated serial device. It takes LF-ended command lines (a CR before the
/// LF is dropped, a line is cut at 255 bytes) and answers each with its echo and a reply line:
/// "FWVER?" with the firmware version, "HDMI=0" and "HDMI=1" with "OK" after switching the
/// cable (the breaker box; other devices answer "ERROR"), anything else with "ERROR".
class SerialDevice {
 public:
  /// Plugs the headset's HDMI cable in (true) or pulls it out (false).
  using CableSwitch = std::function<void(bool connected)>;

  SerialDevice(SerialDeviceKind kind, CableSwitch cable) : kind_(kind), cable_(std::move(cable)) {}

  /// Takes bytes the device received and returns the bytes it sends back.
  std::string Receive(std::string_view bytes);

 private:
  std::string Reply(const std::string& command);

  SerialDeviceKind kind_;
  CableSwitch cable_;
  std::string line_;  // the command line received so far
};

}  // namespace luxsim
