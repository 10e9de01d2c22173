#include <mutex>
#include <optional>
#include <string>

#include "checks/sdk_judgements.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// TestSdkVersion: the client SDK and the game engine the application was built with, as the
// runtime reports them once the application has initialised it and identified its engine.
//
// An application that does not identify its engine within 10 s passes on its SDK version
// alone.

namespace QasValidator {

TestResult Validator::TestSdkVersion() {
  printVersionEvents = true;  // cleared with the application state after the quit
  return RunWithApplication("TestSdkVersion", true, [this] {
    const auto sdkVersionKnown = [this] {
      return WithSessionRecord([](const ProcessRecord& record) { return record.sdkVersion != -1; });
    };
    const int32_t sdkWait = WaitFor(sdkVersionKnown, kSdkVersionWaitMs, true,
                                    {.activity = "waiting for the SDK version"});
    if (sdkWait != 0) return ReportMissingSdkVersion(sdkWait);
    const int32_t sdkVersion =
        WithSessionRecord([](const ProcessRecord& record) { return record.sdkVersion; });
    const TestResult sdk = JudgeSdkVersion(sdkVersion);
    if (sdk != TestResult::Passed) return sdk;

    const auto engineIdentified = [this] {
      std::lock_guard lock(eventLock);
      return engineIdentifications.contains(sessionPid);
    };
    const int32_t engineWait = WaitFor(engineIdentified, kEngineIdentificationWaitMs, true,
                                       {.activity = "waiting for the engine's identification"});
    if (engineWait != 0 && engineWait != kStatusWaitTimeout) {
      return TestResultOfStatus(engineWait);
    }
    std::optional<EngineIdentification> engine;
    {
      std::lock_guard lock(eventLock);
      const auto found = engineIdentifications.find(sessionPid);
      if (found != engineIdentifications.end()) engine = found->second;
    }
    return JudgeEngine(engine);
  });
}

}  // namespace QasValidator
