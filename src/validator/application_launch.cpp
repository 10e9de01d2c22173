#include <memory>
#include <string>

#include "log/validator_log.h"
#include "platform/system_error.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// Starting the application under test and letting it get ready for a test.

namespace QasValidator {

TestResult Validator::StartApplication(bool returnAtSession) {
  stopPump = false;
  StartEventPump();
  hub.SetProximitySensor(true);
  return SetUpApplication(returnAtSession);
}

TestResult Validator::SetUpApplication(bool returnAtSession) {
  CloseSessionProcess();
  {
    const ApplicationLock lock(applicationLock);
    if (!applicationLaunched) {
      const int32_t launched = LaunchApplication(lock);
      if (launched != 0) {
        LogError("Setup test failed because application couldn't be started. HRESULT: ",
                 std::to_string(launched));
        return TestResult::Failed;
      }
    }
  }

  SessionSearch search;
  search.newerShell = hub.GetDashVisibility();
  const int32_t found = WaitForSession(search);
  if (found == kStatusWaitTimeout) {
    LogError(search.inFront ? "Failed to create a session" : "Failed to launch the app");
    return TestResult::Failed;
  }
  if (found != 0) return TestResultOfStatus(found);
  if (!OpenSessionProcess()) return TestResult::Failed;
  if (returnAtSession) return TestResult::Passed;

  const int32_t loaded = WaitForLoading();
  if (loaded < 0) return TestResultOfStatus(loaded);
  LogInfo("Starting test...");
  return TestResult::Passed;
}

int32_t Validator::WaitForSession(SessionSearch& search) {
  return WaitFor([&] { return FindFocusedSession(search); }, kSessionWaitMs, true,
                 {.pollInterval = kSelfPaced, .activity = "waiting for the application's session"});
}

int32_t Validator::LaunchApplication(const ApplicationLock&) {
  launchedProcess = {};
  launchedProcessId = 0;
  if (cancelRequested) {
    LogError("Application launch was cancelled");
    return kStatusLaunchCancelled;
  }
  const platform::ApplicationLaunch launch{applicationPath, applicationArguments,
                                           applicationArgumentList};
  if (!platform::StartApplicationProcess(launch, launchedProcess)) {
    const uint32_t error = platform::LastErrorCode();
    LogSystemError("Could not start the application.");
    return HResultFromWin32(error);
  }
  launchedProcessId = launchedProcess.processId;
  applicationLaunched = true;
  exitCode = platform::kStillActive;
  return 0;
}

bool Validator::OpenSessionProcess() {
  std::optional<platform::ProcessHandle> opened = platform::ProcessHandle::Open(sessionPid);
  if (!opened) {
    LogSystemError("INTERNAL ERROR: OpenProcess failure.");
    return false;
  }
  std::lock_guard lock(sessionProcessLock);
  sessionProcessHandle = std::make_shared<platform::ProcessHandle>(std::move(*opened));
  return true;
}

int32_t Validator::WaitForLoading() {
  if (loadTimeMs != kUnbounded) {
    Log(LogLevel::Info, {"Waiting for the application to run for ",
                         std::to_string(loadTimeMs / 1000), " seconds before testing begins..."});
    return WaitMilliseconds(loadTimeMs, "letting the application load");
  }
  LogInfo("Advance past any loading screens and press the Enter key to begin testing.");
  return WaitForEnterKey();
}

}  // namespace QasValidator
