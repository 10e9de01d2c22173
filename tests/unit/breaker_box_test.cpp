#include "breaker/breaker_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"

// The breaker box on fake COM ports: the line settings, the command exchange byte by byte and
// the search over COM1 to COM10. The messages go to standard output, so cases that print run in
// a child process.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using platform::SerialRead;
using testsupport::ExpectInChild;

/// What a fake port's users did, kept beyond the port's life.
struct PortLog {
  std::string written;
  std::vector<std::chrono::milliseconds> limits;  // of every write and read
  bool closed = false;
};

/// A device that sends `answer` byte by byte, then `end`; the call named `fails` fails.
class FakePort final : public platform::SerialPort {
 public:
  FakePort(PortLog& log, std::string answer, SerialRead end = SerialRead::kTimeout,
           std::string fails = "")
      : log_(log), answer_(std::move(answer)), end_(end), fails_(std::move(fails)) {}
  ~FakePort() override { log_.closed = true; }

  bool GetLineSettings(platform::SerialLineSettings& settings) override {
    settings = {9600, 7, platform::SerialParity::kEven, platform::SerialStopBits::kTwo, true, true};
    return fails_ != "get";
  }
  bool SetLineSettings(const platform::SerialLineSettings& settings) override {
    set = settings;
    return fails_ != "set";
  }
  bool SetReadIntervalTimeout(std::chrono::milliseconds value) override {
    interval = value;
    return fails_ != "interval";
  }
  bool Write(std::string_view bytes, std::chrono::milliseconds limit) override {
    log_.limits.push_back(limit);
    log_.written += bytes;
    return fails_ != "write";
  }
  SerialRead ReadByte(uint8_t& byte, std::chrono::milliseconds limit) override {
    log_.limits.push_back(limit);
    if (answer_.empty()) return end_;
    byte = static_cast<uint8_t>(answer_.front());
    answer_.erase(0, 1);
    return SerialRead::kByte;
  }

  platform::SerialLineSettings set;
  std::chrono::milliseconds interval{0};

 private:
  PortLog& log_;
  std::string answer_;
  SerialRead end_;
  std::string fails_;
};

TEST(BreakerBox, TheLineSettingsAreTheBoxsAndEachFailureSaysWhich) {
  PortLog log;
  FakePort port(log, "");
  ASSERT_TRUE(ConfigureBreakerPort(port));
  EXPECT_EQ(port.set.baudRate, 115200u);
  EXPECT_EQ(port.set.byteSize, 8);
  EXPECT_EQ(port.set.parity, platform::SerialParity::kNone);
  EXPECT_EQ(port.set.stopBits, platform::SerialStopBits::kOne);
  EXPECT_FALSE(port.set.outX || port.set.inX);
  EXPECT_EQ(port.interval, 1000ms);
  for (const auto& [fails, message] : std::vector<std::pair<std::string, std::string>>{
           {"get", "Failed to get dcb from port\n"},
           {"set", "Failed to get dcb settings on port\n"},
           {"interval", "Failed to set timeout settings on port\n"},
           {"write", "Failed to write to COM port\n"}}) {
    const testsupport::ChildOutcome run = ExpectInChild([&] {
      FakePort failing(log, "", SerialRead::kTimeout, fails);
      std::string reply;
      EXPECT_FALSE(fails == "write" ? SendBreakerCommand(failing, "HDMI=1", reply)
                                    : ConfigureBreakerPort(failing))
          << fails;
    });
    EXPECT_EQ(run.out, message);
  }
}

TEST(BreakerBox, TheReplyIsTheLineAfterTheEcho) {
  struct Exchange {
    std::string answer;  // the device's bytes, followed by `end`
    SerialRead end;
    bool ok;
    std::string reply;
    std::string printed;
  };
  const std::string longReply(300, 'x');
  // A reply and a silent device: HardwareE2E.ABoxOnCom3SwitchesTheCable...
  for (const Exchange& exchange : std::vector<Exchange>{
           {std::string("HD\0MI=0\n\0O\0K\n", 13), SerialRead::kTimeout, true, "OK", ""},
           {"HDMI=0\n\n", SerialRead::kTimeout, true, "", ""},
           {"HDMI=0\r\nOK\r\n", SerialRead::kTimeout, true, "OK\r", ""},
           {"HDMI=0\n" + longReply + "\nrest", SerialRead::kTimeout, true, longReply.substr(0, 255),
            ""},
           {"HDMI=0\nOK", SerialRead::kTimeout, false, "",
            "Timed out waiting for a reply from COM port\n"},
           {"HDMI=0\nO", SerialRead::kFailed, false, "", "ReadFile failed\n"}}) {
    PortLog log;
    const testsupport::ChildOutcome run = ExpectInChild([&] {
      FakePort port(log, exchange.answer, exchange.end);
      std::string reply;
      EXPECT_EQ(SendBreakerCommand(port, "HDMI=0", reply), exchange.ok) << exchange.answer;
      EXPECT_EQ(reply, exchange.reply) << exchange.answer;
      EXPECT_EQ(log.written, "HDMI=0\n");
      // Every wait is bounded by what is left of the exchange's time limit.
      for (const std::chrono::milliseconds limit : log.limits) {
        EXPECT_LE(limit, kBreakerExchangeLimit);
        EXPECT_GE(limit, kBreakerExchangeLimit - 1s);
      }
    });
    EXPECT_EQ(run.out, exchange.printed) << exchange.answer;
  }
  // Switching the cable needs a reply that is not empty.
  PortLog log;
  EXPECT_FALSE(BreakerBox(std::make_unique<FakePort>(log, "HDMI=0\n\n")).SwitchHdmi(false));
}

// The box found on COM3 after a silent device and another firmware, and the message without one:
// HardwareE2E.
TEST(BreakerBox, WithoutABoxEveryPortUpToCom10IsAskedAndClosedAgain) {
  std::vector<std::string> tried;
  std::vector<PortLog> ports(10);
  const testsupport::ChildOutcome none = ExpectInChild([&] {
    EXPECT_EQ(OpenBreakerBox([&](const std::string& name) -> std::unique_ptr<platform::SerialPort> {
                tried.push_back(name);
                if (name == "COM1") return nullptr;  // does not open
                return std::make_unique<FakePort>(ports[tried.size() - 1], "FWVER?\nVersion 1.1\n");
              }),
              nullptr);
    EXPECT_EQ(tried.back(), "COM10");
    for (size_t i = 1; i < tried.size(); ++i) EXPECT_TRUE(ports[i].closed) << tried[i];
  });
  EXPECT_EQ(none.out, "Could not find breakerbox attached to any COM port\n");
}

}  // namespace
}  // namespace QasValidator
