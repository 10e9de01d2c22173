#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "log/channels/channel.h"
#include "log/channels/logging_functions.h"
#include "log/channels/output_worker.h"
#ifndef _WIN32
#include "platform/posix/ansi_colours.h"
#endif
#include "support/wait_until.h"

namespace luxlog {
namespace {

constexpr int64_t kDayMs = 86'400'000;

platform::LocalDateTime At(int64_t msOfDay) {
  const int64_t ms = (msOfDay % kDayMs + kDayMs) % kDayMs;
  return {2026,
          12,
          4,
          static_cast<uint16_t>(ms / 3'600'000),
          static_cast<uint16_t>(ms / 60'000 % 60),
          static_cast<uint16_t>(ms / 1000 % 60),
          static_cast<uint16_t>(ms % 1000)};
}

constexpr int64_t k23_21_53_007 = ((23 * 60 + 21) * 60 + 53) * 1000 + 7;

/// Keeps each line a worker writes: the header without its time stamp, then the message.
class CapturingOutput : public OutputPlugin {
 public:
  std::string GetName() const override { return "Capture"; }
  void Write(uint32_t, const LogItem&, std::string_view header, std::string_view message) override {
    std::lock_guard hold(lock_);
    lines_.push_back(std::string(header.substr(18)) + std::string(message));
  }
  std::vector<std::string> Lines() {
    std::lock_guard hold(lock_);
    return lines_;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> lines_;  // guarded by lock_
};

/// A worker on a clock that moves only when told, writing to a capture.
class WorkerTest : public testing::Test {
 protected:
  void SetUp() override { worker_.AddOutput(output_); }
  void Write(const std::string& text, int32_t force = 0) {
    worker_.Write("Test", kInfo, text.c_str(), false, force);
  }
  std::vector<std::string> Lines() { return output_->Lines(); }

  int64_t nowMs_ = k23_21_53_007;
  std::vector<std::string> debugger_;
  OutputWorker worker_{[this] { return At(nowMs_); },
                       [this](const std::string& line) { debugger_.push_back(line); }};
  std::shared_ptr<CapturingOutput> output_ = std::make_shared<CapturingOutput>();
};

TEST(LogHeader, DateTimeLevelPrefixAndChannel) {
  const struct {
    uint32_t level;
    const char* header;
  } cases[] = {
      {kDisabled, "04/12 23:21:53.007 {DISABLED}[Chan] "},
      {kTrace, "04/12 23:21:53.007 {TRACE}   [Chan] "},
      {kDebug, "04/12 23:21:53.007 {DEBUG}   [Chan] "},
      {kInfo, "04/12 23:21:53.007 {INFO}    [Chan] "},
      {kWarning, "04/12 23:21:53.007 {WARNING} [Chan] "},
      {kError, "04/12 23:21:53.007 {!ERROR!} [Chan] "},
      {6, "04/12 23:21:53.007 {???}     [Chan] "},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHeader(At(k23_21_53_007), c.level, "Chan"), c.header);
  EXPECT_EQ(FormatHeader(At(0), kInfo, "C"), "04/12 00:00:00.000 {INFO}    [C] ");
}

#ifndef _WIN32  // the POSIX stand-in's colours
TEST(ConsoleColours, ConsoleAttributesBecomeAnsiColours) {
  const struct {
    uint16_t attributes;
    const char* sequence;
  } cases[] = {{1, "\x1b[34m"},  {5, "\x1b[35m"},  {7, "\x1b[0m"},  {15, "\x1b[97m"},
               {14, "\x1b[93m"}, {12, "\x1b[91m"}, {4, "\x1b[31m"}, {0, "\x1b[30m"}};
  for (const auto& c : cases) EXPECT_EQ(platform::AnsiColourSequence(c.attributes), c.sequence);
}
#endif

TEST_F(WorkerTest, ChannelNamesAreCutTo63Characters) {
  const std::string seventy(70, 'n');
  worker_.Write(seventy.c_str(), kWarning, "text", false, 0);
  worker_.ProcessBatch();
  EXPECT_EQ(Lines(), std::vector<std::string>{" {WARNING} [" + seventy.substr(0, 63) + "] text"});
  const Channel channel(seventy.c_str());
  EXPECT_EQ(channel.Name(), seventy.substr(0, 63));
}

TEST_F(WorkerTest, QueueHoldsAThousandMessagesAndReportsTheRest) {
  for (int i = 0; i < 1500; ++i) Write("distinct message " + std::to_string(i));
  Write("forced past the limit", 1);
  worker_.ProcessBatch();
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 1002u);
  EXPECT_EQ(lines[0],
            " {!ERROR!} [Logging] Lost 500 log messages due to queue overrun; try to reduce the "
            "amount of logging");
  EXPECT_EQ(lines[1], " {INFO}    [Test] distinct message 0");
  EXPECT_EQ(lines[1000], " {INFO}    [Test] distinct message 999");
  EXPECT_EQ(lines[1001], " {INFO}    [Test] forced past the limit");
  Write("next batch");  // the count started again
  worker_.ProcessBatch();
  EXPECT_EQ(Lines().size(), 1003u);
  EXPECT_EQ(Lines().back(), " {INFO}    [Test] next batch");
}

TEST_F(WorkerTest, RepeatsEvery10MsAreWrittenTenTimesThenSummarised) {
  // Also across midnight, where the time of day starts again.
  for (const int64_t start : {k23_21_53_007, kDayMs - 300}) {
    SCOPED_TRACE(start);
    const size_t before = Lines().size();
    nowMs_ = start;
    for (int i = 0; i < 60; ++i, nowMs_ += 10) {
      Write("the same text");
      worker_.ProcessBatch();  // a worker that keeps up
    }
    nowMs_ += 1001;  // quiet for more than a second
    worker_.ProcessBatch();
    std::vector<std::string> expected(10, " {INFO}    [Test] the same text");
    expected.push_back(" {INFO}    [Test] [Aggregated 40 times] the same text");
    expected.push_back(" {INFO}    [Test] [Aggregated 10 times] the same text");
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + before, lines.end()), expected);
  }
}

TEST_F(WorkerTest, TextsEqualInTheirFirst36BytesCountAsOne) {
  const std::string common(35, 'c');
  const struct {
    std::string first, second;
    size_t written;
  } cases[] = {{common + "x1", common + "x2", 10}, {common + "1x", common + "2x", 12}};
  for (const auto& c : cases) {
    const size_t before = Lines().size();
    for (int i = 0; i < 12; ++i, nowMs_ += 10) Write(i % 2 == 0 ? c.first : c.second);
    worker_.ProcessBatch();
    EXPECT_EQ(Lines().size() - before, c.written) << c.first;
    nowMs_ += 5000;
    worker_.ProcessBatch();  // the count's summary, before the next case
  }
}

TEST(MessageAggregator, ARepeatStampedJustBeforeTheLastIsCountedNotTakenForTomorrow) {
  MessageAggregator aggregator;
  int passed = 0;
  for (int i = 0; i < 12; ++i) passed += aggregator.Passes("C", kInfo, "text", 5000 - i % 2 * 3);
  EXPECT_EQ(passed, 10);
}

TEST_F(WorkerTest, DebuggerGetsEveryPassingMessageAtOnce) {
  Write("copied");
  worker_.Write("Test", kInfo, "not copied", true, 0);
  EXPECT_EQ(debugger_, std::vector<std::string>{"04/12 23:21:53.007 {INFO}    [Test] copied\n"});
  for (int i = 0; i < 12; ++i) Write("held back after ten");
  EXPECT_EQ(debugger_.size(), 11u);
  EXPECT_TRUE(Lines().empty());  // the queue waits for the worker
}

TEST_F(WorkerTest, ThreadWritesAndStopWritesTheLastBatch) {
  worker_.Start();
  Write("by the thread");
  EXPECT_TRUE(testsupport::WaitUntil([&] { return Lines().size() == 1; }));
  worker_.Stop();
  Write("after the stop");
  worker_.Stop();
  EXPECT_EQ(Lines(), (std::vector<std::string>{" {INFO}    [Test] by the thread",
                                               " {INFO}    [Test] after the stop"}));
}

TEST(Configurator, ConfiguredLevelReachesUnlockedChannelsOnceTheWorkerExists) {
  std::atomic<uint32_t> levels[3] = {kInfo, kError, kInfo};
  const std::atomic<bool> locked[3] = {false, true, false};
  ChannelRegistration entries[3];
  for (int i = 0; i < 3; ++i) entries[i] = {"channel", &levels[i], &locked[i]};
  Configurator configurator;
  configurator.Register(&entries[0]);
  configurator.Register(&entries[1]);
  EXPECT_EQ(levels[0].load(), kInfo);
  configurator.ApplyConfiguredLevel();
  EXPECT_EQ(levels[0].load(), kDebug);
  EXPECT_EQ(levels[1].load(), kError);  // locked
  configurator.Register(&entries[2]);
  EXPECT_EQ(levels[2].load(), kDebug);
  configurator.Unregister(&entries[1]);  // from the middle of the list
  levels[0] = levels[2] = kWarning;
  configurator.ApplyConfiguredLevel();
  EXPECT_EQ(levels[0].load(), kDebug);
  EXPECT_EQ(levels[2].load(), kDebug);
  configurator.Unregister(&entries[2]);
  configurator.Unregister(&entries[0]);
  // A channel writes messages from its level up.
  const Channel channel("Levels");
  EXPECT_EQ(channel.Level(), kInfo);
  EXPECT_FALSE(channel.Writes(kDebug));
  EXPECT_TRUE(channel.Writes(kInfo));
  EXPECT_TRUE(channel.Writes(kError));
}

void FoundOutput(const char*, uint32_t, const char*, uint8_t, int32_t) {}
void FoundRegister(ChannelRegistration*) {}

// All found (the validator): ValidatorE2E.ListTestsPrintsTheSixteenNamesAndReportsItsAction;
// none found: every application of the simulator that loads the runtime library.
TEST(BindLoggingFunctions, KeepsTheModulesOwnForEveryNameNotFound) {
  const LoggingFunctions mixed = BindLoggingFunctions([](const char* name) -> void* {
    if (std::string_view(name) == "OutputWorkerOutputFunctionC") {
      return reinterpret_cast<void*>(&FoundOutput);
    }
    if (std::string_view(name) == "ConfiguratorRegisterC") {
      return reinterpret_cast<void*>(&FoundRegister);
    }
    return nullptr;
  });
  EXPECT_EQ(mixed.output, &FoundOutput);
  EXPECT_EQ(mixed.registerChannel, &FoundRegister);
  EXPECT_EQ(mixed.unregisterChannel, &ConfiguratorUnregisterC);
  EXPECT_EQ(mixed.levelChange, &ConfiguratorOnChannelLevelChangeC);
}

}  // namespace
}  // namespace luxlog
