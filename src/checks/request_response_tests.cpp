#include <array>
#include <mutex>
#include <string>

#include "checks/request_judgements.h"
#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The request-response tests: the shell asks the application to recenter or to quit, or the
// runtime changes the inter-axial distance, and the application's events must show the answer
// in time.

namespace QasValidator {

namespace {

/// The simulated inter-axial distances, in metres, one after the other.
constexpr float kFirstFakeIad = 0.065f;
constexpr float kSecondFakeIad = 0.07f;

}  // namespace

TestResult Validator::TestResponseToRecenterRequest() {
  return RunWithApplication("TestResponseToRecenterRequest", false, [this] {
    LogInfo("Sending a request to recenter...");
    // The request goes out with the lock held, so that nothing about the record is handled
    // between marking the request pending and sending it.
    WithSessionRecord([this](ProcessRecord& record) {
      record.recenterPending = true;
      hub.RequestAppShouldRecenter(sessionPid);
    });
    const auto answered = [this] {
      return WithSessionRecord([](const ProcessRecord& record) { return !record.recenterPending; });
    };
    return JudgeRecenterWait(WaitFor(answered, kRecenterWaitMs, true));
  });
}

TestResult Validator::TestAppShouldQuit() {
  return RunWithApplication("TestAppShouldQuit", false, [this] {
    reportRuntimeErrors = true;  // cleared with the application state after the quit
    LogInfo("Sending a request to quit...");
    if (hub.GetDashVisibility()) {
      hub.CloseApp(sessionPid);
    } else {
      hub.RequestLocation("APP_CLOSE");
      hub.PromptResponse();
    }
    // The application is expected to go away, so the wait does without the status poll; it
    // ends when the session-destroyed event has cleared the session process.
    const auto sessionDestroyed = [this] {
      std::lock_guard lock(eventLock);
      return sessionPid == 0;
    };
    return JudgeQuitWait(WaitFor(sessionDestroyed, kQuitWaitMs, false,
                                 {.activity = "waiting for the application to quit"}));
  });
}

TestResult Validator::TestResponseToIadChanges() {
  return RunWithApplication("TestResponseToIadChanges", false, [this] {
    WithSessionRecord([](ProcessRecord& record) { record.renderDescCalls = {0, 0}; });
    const int32_t counted =
        WaitMilliseconds(kRenderDescriptionCountMs, "counting render description requests");
    if (counted < 0) return TestResultOfStatus(counted);
    const std::array<uint32_t, 2> calls =
        WithSessionRecord([](const ProcessRecord& record) { return record.renderDescCalls; });
    const TestResult frequency = JudgeRenderDescriptionCalls(calls);
    if (frequency != TestResult::Passed) return frequency;

    WithSessionRecord([](ProcessRecord& record) {
      record.renderDescChanged = false;
      record.renderPoseChanged = false;
    });
    if (!SetFakeIadEnabled(true) || !SetFakeIad(kFirstFakeIad) || !SetFakeIad(kSecondFakeIad)) {
      return TestResult::Failed;
    }
    const auto renderPoseFollowed = [this] {
      return WithSessionRecord([](ProcessRecord& record) {
        if (!record.renderDescChanged || !record.renderPoseChanged) return false;
        record.renderDescChanged = false;
        record.renderPoseChanged = false;
        return true;
      });
    };
    const TestResult result =
        JudgeIadChangeWait(WaitFor(renderPoseFollowed, kIadChangeWaitMs, true));
    if (result == TestResult::Passed && !SetFakeIadEnabled(false)) return TestResult::Failed;
    return result;
  });
}

}  // namespace QasValidator
