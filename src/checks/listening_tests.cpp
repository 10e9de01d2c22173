#include <string>

#include "checks/listening_judgements.h"
#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The listening tests: the application runs while the validator listens to what the runtime
// reports about it. RunErrorCapture lets the operator use the application when the load time
// is the Enter key (--load_time_ms 0), until the ESC key; otherwise it listens for 30 s.
//
// The interactive key waits have no bound and do not notice an application that has ended:
// only the operator ends them (or Ctrl+C ends the run).

namespace QasValidator {

TestResult Validator::RunErrorCapture() {
  const bool interactive = loadTimeMs == kUnbounded;
  const auto prepare = [this, interactive] {
    if (interactive) {
      waits.enterPressed();  // a press made before the instructions does not start the capture
      LogInfo(kErrorCaptureInstructions);
      WaitForKeyPress(waits.enterPressed);
    }
    reportRuntimeErrors = true;  // cleared with the application state after the quit
    LogInfo("Listening for errors...");
  };
  const auto listen = [this, interactive] {
    if (interactive) {
      WaitForKeyPress(waits.escapePressed);
    } else {
      const int32_t listened = WaitMilliseconds(kListeningMs, "listening for runtime errors");
      if (listened < 0) return TestResultOfStatus(listened);
    }
    return JudgeRuntimeErrors(static_cast<int32_t>(runtimeErrorCount.load()));
  };
  return RunWithApplication("RunErrorCapture", true, listen, prepare);
}

TestResult Validator::TestPropertyAccess() {
  return RunWithApplication("TestPropertyAccess", false, [this] {
    Log(LogLevel::Info, {"Listening for property access violations for ",
                         std::to_string(kListeningMs / 1000), " seconds..."});
    const int32_t listened = WaitMilliseconds(kListeningMs, "listening for property reads");
    if (listened < 0) return TestResultOfStatus(listened);
    return JudgePropertyAccess(
        WithSessionRecord([](const ProcessRecord& record) { return record.readProperties; }));
  });
}

}  // namespace QasValidator
