// The realtime event stream end to end: the simulated runtime service, a small application
// of the SDK (stream_client_app) and the validator's own session set-up, listener and event
// handling. The validator connects its listener in Initialize; the test plays the event pump.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lux/lux_capi.h"
#include "platform/clock.h"
#include "validator/validator.h"

extern char** environ;

namespace QasValidator {

using LUX::Telemetry::EventProcessId;
using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::TelemetryEvent;

/// Runs the validator's session set-up against the simulator and pumps its listener, keeping
/// a copy of every record delivered.
class ValidatorEventStreamE2E : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(validator.Initialize(), 0); }

  void TearDown() override {
    if (clientInput_ >= 0) close(clientInput_);
    if (clientPid_ > 0) waitpid(clientPid_, nullptr, 0);
    validator.Shutdown(true);
  }

  // Starts stream_client_app with `frames`; its standard input stays open until `EndClient`.
  uint32_t StartClient(int frames) {
    int input[2];
    EXPECT_EQ(pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    const std::string count = std::to_string(frames);
    char* argv[] = {const_cast<char*>(CORVIA_STREAM_CLIENT), const_cast<char*>(count.c_str()),
                    nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, CORVIA_STREAM_CLIENT, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    clientInput_ = input[1];
    clientPid_ = pid;
    return static_cast<uint32_t>(pid);
  }

  // Ends the client's standard input: it exits without ending its session; its exit status.
  int EndClient() {
    close(clientInput_);
    clientInput_ = -1;
    int status = 0;
    waitpid(clientPid_, &status, 0);
    clientPid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Pumps the listener as the event pump does until `done` holds for the records received so
  // far, at most `timeoutSeconds`; returns whether it held.
  bool PumpUntil(const std::function<bool()>& done, double timeoutSeconds = 15.0) {
    const double deadline = platform::MonotonicSeconds() + timeoutSeconds;
    while (!done()) {
      if (platform::MonotonicSeconds() > deadline) return false;
      validator.listener->WaitForEvents(50);
      validator.listener->ProcessEvents(
          [this](TelemetryEvent** events, int32_t count) {
            for (int32_t i = 0; i < count; ++i) received.push_back(*events[i]);
            validator.OnTelemetryEvents(events, count);
          },
          0);
    }
    return true;
  }

  // The records of `type` received so far, about `pid` (any process when 0).
  std::vector<TelemetryEvent> Received(int32_t type, uint32_t pid = 0) const {
    std::vector<TelemetryEvent> found;
    for (const TelemetryEvent& record : received) {
      if (record.type == type && (pid == 0 || EventProcessId(record) == pid)) {
        found.push_back(record);
      }
    }
    return found;
  }

  std::optional<ProcessRecord> Record(uint32_t pid) {
    std::lock_guard lock(validator.eventLock);
    const auto found = validator.processRecords.find(pid);
    if (found == validator.processRecords.end()) return std::nullopt;
    return found->second;
  }

  Validator validator;
  std::atomic<uint32_t>& launchedProcessId = validator.launchedProcessId;
  std::vector<TelemetryEvent> received;
  int clientInput_ = -1;
  pid_t clientPid_ = -1;
};

namespace {

constexpr int kFrames = 90;

TEST_F(ValidatorEventStreamE2E, AnApplicationsRecordsReachTheValidatorInOrder) {
  const uint32_t pid = StartClient(kFrames);
  // Like the validator once it found the session; the runtime knows the process already.
  launchedProcessId = pid;
  ASSERT_TRUE(lux_SetInt(nullptr, "FrequentTelEventPid", static_cast<int>(pid)));
  ASSERT_TRUE(PumpUntil([&] { return Received(LUX::Telemetry::kError, pid).size() == 1; }));

  // The facts that no verdict of an e2e run shows (the package and listening tests' runs show
  // the property read and the error).
  const std::optional<ProcessRecord> record = Record(pid);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->submitFrameCount, static_cast<uint32_t>(kFrames));
  EXPECT_EQ(record->statusFlags, (std::array<uint8_t, 6>{1, 1, 1, 0, 0, 0}));

  EXPECT_EQ(EndClient(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !Received(LUX::Telemetry::kSessionDestroyed, pid).empty(); }));
  EXPECT_FALSE(Record(pid).has_value());

  // Everything arrived in timestamp order.
  for (size_t i = 1; i < received.size(); ++i) {
    ASSERT_LE(received[i - 1].timestamp, received[i].timestamp) << i;
  }
  // The application's records, in the order it caused them.
  std::vector<int32_t> opening;
  for (const TelemetryEvent& event : received) {
    if (event.type != LUX::Telemetry::kEndCompositorFrame &&
        event.type != LUX::Telemetry::kLostFrame && EventProcessId(event) == pid &&
        opening.size() < 10) {
      opening.push_back(event.type);
    }
  }
  EXPECT_EQ(opening, (std::vector<int32_t>{17, 34, 26, 38, 44, 40, 40, 41, 33, 43}));
  for (const int32_t perFrame :
       {LUX::Telemetry::kFrameSubmitted, LUX::Telemetry::kSwapChainCommitted,
        LUX::Telemetry::kRenderPoseSubmitted, LUX::Telemetry::kLayersSubmitted}) {
    EXPECT_EQ(Received(perFrame, pid).size(), static_cast<size_t>(kFrames)) << perFrame;
  }

  // Every compositor frame arrived, one after the other, and the compositor never ran faster
  // than 90 Hz. (The application's lost frames lower the frame rate that LaunchTestsE2E
  // measures.)
  const std::vector<TelemetryEvent> compositor = Received(LUX::Telemetry::kEndCompositorFrame);
  ASSERT_GE(compositor.size(), 2u);
  for (size_t i = 1; i < compositor.size(); ++i) {
    ASSERT_EQ((ReadPayload<uint64_t, 0>(compositor[i])),
              (ReadPayload<uint64_t, 0>(compositor[i - 1])) + 1);
  }
  const double span = compositor.back().timestamp - compositor.front().timestamp;
  EXPECT_LE(static_cast<double>(compositor.size() - 1) / span, 91.0);
}

}  // namespace
}  // namespace QasValidator
