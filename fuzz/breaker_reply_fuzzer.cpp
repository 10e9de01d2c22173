// Feeds arbitrary bytes, as a device on a COM port would send them, to the breaker box's
// command exchange. Whatever the device sends, the exchange ends (the bytes run out, then the
// read times out) and a reply it takes is one line: no LF, no zero byte, at most 255 bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "breaker/breaker_box.h"

namespace {

/// A device that sends the input byte by byte and then falls silent.
class InputPort final : public platform::SerialPort {
 public:
  explicit InputPort(std::string_view bytes) : bytes_(bytes) {}

  bool GetLineSettings(platform::SerialLineSettings&) override { return true; }
  bool SetLineSettings(const platform::SerialLineSettings&) override { return true; }
  bool SetReadIntervalTimeout(std::chrono::milliseconds) override { return true; }
  bool Write(std::string_view, std::chrono::milliseconds) override { return true; }
  platform::SerialRead ReadByte(uint8_t& byte, std::chrono::milliseconds) override {
    if (bytes_.empty()) return platform::SerialRead::kTimeout;
    byte = static_cast<uint8_t>(bytes_.front());
    bytes_.remove_prefix(1);
    return platform::SerialRead::kByte;
  }

 private:
  std::string_view bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The exchange reports a silent device on standard output at every run.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputPort port(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string reply;
  if (QasValidator::SendBreakerCommand(port, "FWVER?", reply)) {
    if (reply.size() >= QasValidator::kBreakerReplyBufferBytes ||
        reply.find_first_of(std::string_view("\n\0", 2)) != std::string::npos) {
      std::abort();
    }
  } else if (!reply.empty()) {
    std::abort();
  }
  return 0;
}
