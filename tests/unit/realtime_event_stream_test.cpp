#include "realtime_event_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "events/client_socket.h"
#include "support/simulated_core.h"
#include "support/wait_until.h"

// The realtime event stream module attached to the simulated runtime's core, read by the
// validator's listener over loopback TCP.

namespace luxsim {
namespace {

using namespace std::chrono_literals;
using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::TelemetryEvent;
using testsupport::Fields;

class RealtimeEventStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(stream_.Start(core_.Context(), &error)) << error;
    ASSERT_NE(stream_.Port(), 0);
    client_ = core_.Sessions().AddClient(321).id;
  }

  // Runs the service's loop for `duration`.
  void Run(std::chrono::milliseconds duration) {
    core_.Loop().AddTimer(duration, 0ms, [this] { core_.Loop().Stop(); });
    ASSERT_TRUE(core_.Loop().Run());
  }

  // Everything the listener received so far, in order.
  std::vector<TelemetryEvent> Receive(LUX::Telemetry::TClientSocket& listener) {
    std::vector<TelemetryEvent> records;
    listener.ProcessEvents(
        [&](TelemetryEvent** events, int32_t count) {
          for (int32_t i = 0; i < count; ++i) records.push_back(*events[i]);
        },
        0);
    return records;
  }

  testsupport::SimulatedCore core_{"event_stream"};
  RealtimeEventStream stream_{0};
  ClientId client_ = 0;
};

TEST_F(RealtimeEventStreamTest, StreamsCompositorFramesRaisedErrorsAndCableChanges) {
  // The records are stamped on the real clock; the listener delivers what is 0.15 s old.
  LUX::Telemetry::TClientSocket listener([] { return platform::MonotonicSeconds() + 1.0; });
  ASSERT_TRUE(listener.Connect(stream_.Port(), true));
  Run(20ms);  // the stream accepts the listener; records go to the listeners it has
  core_.Call(client_, "realtime_event_output", Fields({{"enable", true}}));
  EXPECT_EQ(
      core_
          .Call(client_, "raise_runtime_error",
                Fields({{"code", -90011}, {"text", "Try again"}, {"not_counted", false}}))["result"]
          .asInt(),
      luxSuccess);
  EXPECT_EQ(core_.Call(client_, "raise_runtime_error", Fields({{"code", 5}}))["error"].asString(),
            "A runtime error has a negative code");
  core_.Headset().SetConnected(false);
  const double start = platform::MonotonicSeconds();
  Run(300ms);
  const double elapsed = platform::MonotonicSeconds() - start;
  ASSERT_TRUE(testsupport::WaitUntil([&] { return listener.Counters().recordsReceived >= 10; }));

  const std::vector<TelemetryEvent> records = Receive(listener);
  std::vector<int32_t> errors;
  size_t compositorFrames = 0;
  size_t cableRecords = 0;
  for (const TelemetryEvent& record : records) {
    if (record.type == LUX::Telemetry::kError) errors.push_back(ReadPayload<int32_t, 8>(record));
    if (record.type == LUX::Telemetry::kEndCompositorFrame) ++compositorFrames;
    if (record.type == LUX::Telemetry::kCableState) {
      ++cableRecords;
      EXPECT_EQ((ReadPayload<uint32_t, 0>(record)), 2u);
    }
  }
  // The raised error, then the refused one reported as the failed call it is.
  EXPECT_EQ(errors, (std::vector<int32_t>{-90011, luxError_InvalidParameter}));
  EXPECT_EQ(cableRecords, 1u);
  // 90 compositor frames a second; a loaded machine may run the loop late.
  EXPECT_GE(compositorFrames, static_cast<size_t>(elapsed * 90 * 0.5));
  EXPECT_LE(compositorFrames, static_cast<size_t>(elapsed * 90) + 2);
}

TEST_F(RealtimeEventStreamTest, NothingIsSentWhileTheOutputIsOff) {
  LUX::Telemetry::TClientSocket listener([] { return platform::MonotonicSeconds() + 1.0; });
  ASSERT_TRUE(listener.Connect(stream_.Port(), true));
  core_.Call(client_, "raise_runtime_error", Fields({{"code", -1}}));
  Run(100ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(listener.Counters().recordsReceived, 0u);
  EXPECT_TRUE(listener.IsReceiving());
}

TEST_F(RealtimeEventStreamTest, ASecondStreamOnTheSamePortCannotStart) {
  RealtimeEventStream second(stream_.Port());
  std::string error;
  EXPECT_FALSE(second.Start(core_.Context(), &error));
  EXPECT_NE(error.find("cannot listen for realtime event listeners"), std::string::npos) << error;
}

}  // namespace
}  // namespace luxsim
