#include "serial_device.h"

namespace luxsim {

namespace {

constexpr size_t kLongestLine = 255;

}  // namespace

std::optional<SerialDeviceKind> SerialDeviceKindNamed(std::string_view name) {
  if (name == "breaker-box") return SerialDeviceKind::kBreakerBox;
  if (name == "other-firmware") return SerialDeviceKind::kOtherFirmware;
  if (name == "silent") return SerialDeviceKind::kSilent;
  return std::nullopt;
}

std::string SerialDevice::Receive(std::string_view bytes) {
  std::string sent;
  for (const char byte : bytes) {
    if (byte != '\n') {
      if (line_.size() < kLongestLine) line_.push_back(byte);
      continue;
    }
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (kind_ != SerialDeviceKind::kSilent) sent += line_ + "\n" + Reply(line_) + "\n";
    line_.clear();
  }
  return sent;
}

std::string SerialDevice::Reply(const std::string& command) {
  const bool breakerBox = kind_ == SerialDeviceKind::kBreakerBox;
  if (command == "FWVER?") return breakerBox ? "Version 1.0" : "Version 1.1";
  if (breakerBox && (command == "HDMI=0" || command == "HDMI=1")) {
    cable_(command == "HDMI=1");
    return "OK";
  }
  return "ERROR";
}

}  // namespace luxsim
