#include "breaker/breaker_box.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

// The breaker box on fake COM ports: the line settings, the command exchange byte by byte with
// its messages, and the search over COM1 to COM10. The messages go to standard output, so each
// case runs in a child process.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using platform::SerialRead;

/// What a fake port's users did, kept beyond the port's life.
struct PortLog {
  std::string written;
  std::vector<std::chrono::milliseconds> limits;  // of every write and read
  bool closed = false;
};

/// A device on a fake port: it sends `answer` byte by byte, then `end`. The call named `fails`
/// ("get", "set", "interval", "write") fails.
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
           {"interval", "Failed to set timeout settings on port\n"}}) {
    const testsupport::ChildOutcome run = testsupport::RunInChild([&] {
      FakePort failing(log, "", SerialRead::kTimeout, fails);
      return ConfigureBreakerPort(failing) ? 0 : 1;
    });
    EXPECT_EQ(run.exitStatus, 1) << fails;
    EXPECT_EQ(run.out, message);
  }
}

struct Exchange {
  const char* name;
  std::string answer;  // the device's bytes
  SerialRead end;      // what follows them
  bool ok;
  std::string reply;
  std::string printed;
};

TEST(BreakerBox, TheReplyIsTheLineAfterTheEcho) {
  const std::string longReply(300, 'x');
  const std::vector<Exchange> exchanges = {
      {"echo and reply", "HDMI=0\nOK\n", SerialRead::kTimeout, true, "OK", ""},
      {"zero bytes", std::string("HD\0MI=0\n\0O\0K\n", 13), SerialRead::kTimeout, true, "OK", ""},
      {"an empty reply", "HDMI=0\n\n", SerialRead::kTimeout, true, "", ""},
      {"a reply with CR", "HDMI=0\r\nOK\r\n", SerialRead::kTimeout, true, "OK\r", ""},
      {"a reply longer than the buffer", "HDMI=0\n" + longReply + "\nrest", SerialRead::kTimeout,
       true, longReply.substr(0, 255), ""},
      {"a silent device", "", SerialRead::kTimeout, false, "",
       "Timed out waiting for a reply from COM port\n"},
      {"a reply without its LF", "HDMI=0\nOK", SerialRead::kTimeout, false, "",
       "Timed out waiting for a reply from COM port\n"},
      {"a read that fails", "HDMI=0\nO", SerialRead::kFailed, false, "", "ReadFile failed\n"},
  };
  for (const Exchange& exchange : exchanges) {
    PortLog log;
    const testsupport::ChildOutcome run = testsupport::RunInChild([&] {
      FakePort port(log, exchange.answer, exchange.end);
      std::string reply;
      const bool ok = SendBreakerCommand(port, "HDMI=0", reply);
      std::fputs((reply + "|" + log.written).c_str(), stderr);
      // Every wait is bounded by what is left of the exchange's time limit.
      for (const std::chrono::milliseconds limit : log.limits) {
        if (limit > kBreakerExchangeLimit || limit < kBreakerExchangeLimit - 1s) return 2;
      }
      return ok ? 0 : 1;
    });
    EXPECT_EQ(run.exitStatus, exchange.ok ? 0 : 1) << exchange.name;
    EXPECT_EQ(run.err, exchange.reply + "|HDMI=0\n") << exchange.name;
    EXPECT_EQ(run.out, exchange.printed) << exchange.name;
  }
}

TEST(BreakerBox, SwitchingTheCableNeedsAReplyThatIsNotEmpty) {
  PortLog log;
  EXPECT_TRUE(BreakerBox(std::make_unique<FakePort>(log, "HDMI=1\nOK\n")).SwitchHdmi(true));
  EXPECT_FALSE(BreakerBox(std::make_unique<FakePort>(log, "HDMI=0\n\n")).SwitchHdmi(false));
  EXPECT_EQ(log.written, "HDMI=1\nHDMI=0\n");
  const testsupport::ChildOutcome failed = testsupport::RunInChild([&] {
    return BreakerBox(std::make_unique<FakePort>(log, "", SerialRead::kTimeout, "write"))
                   .SwitchHdmi(true)
               ? 0
               : 1;
  });
  EXPECT_EQ(failed.exitStatus, 1);
  EXPECT_EQ(failed.out, "Failed to write to COM port\n");
}

TEST(BreakerBox, TheBoxIsTheFirstPortThatAnswersVersionOnePointZero) {
  // COM1 does not open, COM2 holds a device of another firmware, COM3 the box.
  std::vector<std::string> tried;
  PortLog other;
  PortLog box;
  const auto open = [&](const std::string& name) -> std::unique_ptr<platform::SerialPort> {
    tried.push_back(name);
    if (name == "COM2") return std::make_unique<FakePort>(other, "FWVER?\nVersion 1.1\n");
    if (name == "COM3") return std::make_unique<FakePort>(box, "FWVER?\nVersion 1.0\n");
    return nullptr;
  };
  const std::unique_ptr<BreakerBox> found = OpenBreakerBox(open);
  EXPECT_NE(found, nullptr);
  EXPECT_EQ(tried, (std::vector<std::string>{"COM1", "COM2", "COM3"}));
  EXPECT_EQ(other.written, "FWVER?\n");
  EXPECT_TRUE(other.closed);
  EXPECT_FALSE(box.closed);

  tried.clear();
  const testsupport::ChildOutcome none = testsupport::RunInChild([&] {
    const bool opened = OpenBreakerBox([&](const std::string& name) {
                          tried.push_back(name);
                          return std::unique_ptr<platform::SerialPort>();
                        }) != nullptr;
    std::fputs(tried.back().c_str(), stderr);
    return opened ? 0 : 1;
  });
  EXPECT_EQ(none.exitStatus, 1);
  EXPECT_EQ(none.out, "Could not find breakerbox attached to any COM port\n");
  EXPECT_EQ(none.err, "COM10");
}

}  // namespace
}  // namespace QasValidator
