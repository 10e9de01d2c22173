#include <cstring>
#include <optional>
#include <string>

#include "checks/hardware_judgements.h"
#include "log/validator_log.h"
#include "lux/lux_capi.h"
#include "platform/display_adapters.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The hardware tests: the headset's display lost and found again (through the breaker box or
// the operator), and a headset on another display adapter than the first.
//
// The two waits for the display have no time limit: the operator may take as long as needed.
// They end when the runtime reports the cable's change or when the validation is cancelled
// (Ctrl+C).

namespace QasValidator {

namespace {

/// The LUID of the machine's first display adapter; nothing, after an Error line, when it
/// cannot be learnt.
std::optional<platform::AdapterLuid> FirstAdapterLuid() {
  std::optional<platform::DisplayAdapterFactory> factory;
  const int32_t created = platform::DisplayAdapterFactory::Create(factory);
  if (created != 0) {
    LogError("INTERNAL ERROR: Could not create DXGI Factory.\nDXGI_ERROR ",
             std::to_string(created));
    return std::nullopt;
  }
  platform::AdapterLuid luid;
  const int32_t found = factory->AdapterLuidAt(0, luid);
  if (found != 0) {
    LogError("INTERNAL ERROR: Could not enumerate display adapters.DXGI_ERROR ",
             std::to_string(found));
    return std::nullopt;
  }
  return luid;
}

/// The LUID of the adapter that drives the headset, from a runtime session made for the
/// purpose; nothing, after an Error line, when no session can be made.
std::optional<platform::AdapterLuid> HeadsetAdapterLuid() {
  luxSession session = nullptr;
  luxGraphicsLuid reported{};
  if (LUX_FAILURE(lux_Create(&session, &reported))) {
    LogRuntimeError("Could not create a session to find the HMD LUID.\n");
    return std::nullopt;
  }
  lux_Destroy(session);
  platform::AdapterLuid luid;
  std::memcpy(&luid.lowPart, reported.Reserved, sizeof luid.lowPart);
  std::memcpy(&luid.highPart, reported.Reserved + sizeof luid.lowPart, sizeof luid.highPart);
  return luid;
}

}  // namespace

TestResult Validator::TestResponseToDisplayLost() {
  return RunWithApplication("TestResponseToDisplayLost", false,
                            [this] { return RespondToDisplayLoss(); });
}

TestResult Validator::RespondToDisplayLoss() {
  if (!DisconnectHDMI() || !WaitForDisplayLost(true)) return TestResult::Failed;
  LogInfo("Checking if the application is submitting frames...");
  displayLostCount = 0;
  const int32_t observed = WaitFor({}, kDisplayLostObservationMs, true,
                                   {.activity = "watching the application without its display"});
  if (observed != kStatusWaitTimeout) {
    // The application ended, or the run went wrong, while the display was lost. Ending on the
    // loss with exit code 0 is a fine answer to it.
    ConnectHDMI();
    return observed == kStatusApplicationQuit ? TestResult::Passed : TestResultOfStatus(observed);
  }
  if (!JudgeDisplayLostErrors(displayLostCount)) {
    ConnectHDMI();
    return TestResult::Failed;
  }
  if (!ConnectHDMI() || !WaitForDisplayLost(false)) return TestResult::Failed;
  hub.RequestLocation("APP");
  hub.SetProximitySensor(true);
  LogInfo("Checking if the application is submitting frames...");
  WithSessionRecord([](ProcessRecord& record) { record.submitFrameCount = 0; });
  if (WaitMilliseconds(kRecoveryFrameCountMs, "counting frames after the display's return") != 0) {
    return TestResult::Failed;
  }
  return JudgeFramesAfterRecovery(
      WithSessionRecord([](const ProcessRecord& record) { return record.submitFrameCount; }));
}

bool Validator::WaitForDisplayLost(bool lost) {
  platform::Waitable* none = nullptr;
  while (displayLost != lost) {
    if (cancelRequested) {
      LogError("Validation was cancelled");
      return false;
    }
    // The cable's change arrives with an event batch, and a cancellation wakes the wait too.
    PauseUntil(WaitServices::Clock::time_point::max(), none, false);
  }
  return true;
}

TestResult Validator::TestMismatchedAdapters() {
  const std::string name = "TestMismatchedAdapters";
  StartTest(name);
  return ShutdownTest(name, RenderOnTheHeadsetsAdapter());
}

TestResult Validator::RenderOnTheHeadsetsAdapter() {
  const std::optional<platform::AdapterLuid> first = FirstAdapterLuid();
  const std::optional<platform::AdapterLuid> headset = first ? HeadsetAdapterLuid() : std::nullopt;
  if (!headset) {
    ResetApplicationState();
    return TestResult::Failed;
  }
  if (*headset == *first) {
    LogInfo(
        "This test can only be run on machines with at least two display adapters. Please plug "
        "in the Tarn into a different display adapter in which the monitor is not plugged into.");
    ResetApplicationState();
    return TestResult::Skipped;
  }
  const TestResult started = StartApplication(true);
  if (started != TestResult::Passed) return started;
  const int32_t waited =
      WaitMilliseconds(kSecondAdapterFrameCountMs, "counting frames on the headset's adapter");
  if (waited != 0) return TestResultOfStatus(waited);
  return JudgeFramesOnTheHeadsetsAdapter(
      WithSessionRecord([](const ProcessRecord& record) { return record.submitFrameCount; }));
}

}  // namespace QasValidator
