#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial_port.h"

// The breaker box: a serial device in the headset's HDMI cable that opens or closes the
// connection on command. Its messages go straight to standard output, not through the
// validator log.
//
// A device that never answers would block a read for good, since the port only has a time-out
// between bytes. Each command exchange therefore has a total time limit (kBreakerExchangeLimit):
// a silent device fails the exchange with "Timed out waiting for a reply from COM port", so
// that neither the search for the box nor a test can hang on it.

namespace QasValidator {

/// How long one command exchange may take in all: writing the command, reading the echo and
/// the reply.
inline constexpr std::chrono::milliseconds kBreakerExchangeLimit{2000};
/// Size of the reply buffer; the longest reply kept is one byte shorter.
inline constexpr size_t kBreakerReplyBufferBytes = 256;

/// Opens a COM port by its name ("COM1", ...); null when it does not open.
using SerialPortOpener =
    std::function<std::unique_ptr<platform::SerialPort>(const std::string& name)>;

/// An open breaker box: owns its COM port.
class BreakerBox {
 public:
  explicit BreakerBox(std::unique_ptr<platform::SerialPort> port) : port_(std::move(port)) {}

  /// Closes the HDMI connection ("HDMI=1", the headset plugged in) or opens it ("HDMI=0"):
  /// true when the box answered with a reply that is not empty.
  bool SwitchHdmi(bool connected);

 private:
  std::unique_ptr<platform::SerialPort> port_;
};

/// Looks for the breaker box on COM1 to COM10, in this order: the first port that opens, takes
/// the line settings and answers "FWVER?" with exactly "Version 1.0". Null, after "Could not
/// find breakerbox attached to any COM port", when none does.
std::unique_ptr<BreakerBox> OpenBreakerBox(const SerialPortOpener& open = platform::OpenSerialPort);

/// Applies the box's line settings (115200 baud, 8 data bits, no parity, one stop bit, no
/// XON/XOFF) on top of the port's own and a read interval time-out of 1000 ms.
bool ConfigureBreakerPort(platform::SerialPort& port);

/// One command exchange: writes `command` and a line end, discards the echoed line and takes
/// the next line into `reply` (without its LF; zero bytes are skipped; a reply longer than 255
/// bytes is cut there). False, after a message, when writing or reading fails or the exchange
/// takes longer than kBreakerExchangeLimit.
bool SendBreakerCommand(platform::SerialPort& port, const std::string& command, std::string& reply);

}  // namespace QasValidator
