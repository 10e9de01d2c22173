#include "breaker/breaker_box.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace QasValidator {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLastComPort = 10;
/// The longest command line written, line end included.
constexpr size_t kCommandLineLimit = 63;
constexpr char kFirmwareQuery[] = "FWVER?";
constexpr char kBreakerFirmware[] = "Version 1.0";

void Print(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

bool BreakerBox::SwitchHdmi(bool connected) {
  std::string reply;
  return SendBreakerCommand(*port_, connected ? "HDMI=1" : "HDMI=0", reply) && !reply.empty();
}

std::unique_ptr<BreakerBox> OpenBreakerBox(const SerialPortOpener& open) {
  for (int n = 1; n <= kLastComPort; ++n) {
    std::unique_ptr<platform::SerialPort> port = open("COM" + std::to_string(n));
    if (port == nullptr || !ConfigureBreakerPort(*port)) continue;
    std::string version;
    if (SendBreakerCommand(*port, kFirmwareQuery, version) && version == kBreakerFirmware) {
      return std::make_unique<BreakerBox>(std::move(port));
    }
  }
  std::printf("Could not find breakerbox attached to %s\n", "any COM port");
  std::fflush(stdout);
  return nullptr;
}

bool ConfigureBreakerPort(platform::SerialPort& port) {
  platform::SerialLineSettings settings;
  if (!port.GetLineSettings(settings)) {
    Print("Failed to get dcb from port\n");
    return false;
  }
  settings.baudRate = 115200;
  settings.byteSize = 8;
  settings.parity = platform::SerialParity::kNone;
  settings.stopBits = platform::SerialStopBits::kOne;
  settings.outX = false;
  settings.inX = false;
  if (!port.SetLineSettings(settings)) {
    Print("Failed to get dcb settings on port\n");
    return false;
  }
  if (!port.SetReadIntervalTimeout(std::chrono::milliseconds(1000))) {
    Print("Failed to set timeout settings on port\n");
    return false;
  }
  return true;
}

bool SendBreakerCommand(platform::SerialPort& port, const std::string& command,
                        std::string& reply) {
  reply.clear();
  const Clock::time_point deadline = Clock::now() + kBreakerExchangeLimit;
  const auto left = [deadline] {
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                    std::chrono::milliseconds(0));
  };
  const std::string line = (command + "\n").substr(0, kCommandLineLimit);
  if (!port.Write(line, left())) {
    Print("Failed to write to COM port\n");
    return false;
  }
  // The bytes up to the first LF are the echo of the command; only the line after it is kept.
  bool echoSeen = false;
  for (;;) {
    uint8_t byte = 0;
    switch (port.ReadByte(byte, left())) {
      case platform::SerialRead::kByte:
        break;
      case platform::SerialRead::kTimeout:
        reply.clear();
        Print("Timed out waiting for a reply from COM port\n");
        return false;
      case platform::SerialRead::kFailed:
        reply.clear();
        Print("ReadFile failed\n");
        return false;
    }
    if (byte == 0) continue;
    if (byte == '\n') {
      if (echoSeen) return true;
      echoSeen = true;
      continue;
    }
    if (echoSeen && reply.size() < kBreakerReplyBufferBytes - 1)
      reply.push_back(static_cast<char>(byte));
  }
}

}  // namespace QasValidator
