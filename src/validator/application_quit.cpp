#include <algorithm>
#include <string>

#include "log/validator_log.h"
#include "platform/system_error.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// Closing the application under test: the close request to the session process's windows, a
// wait on the launched process, termination when it does not end, and forgetting it.

namespace QasValidator {

void Validator::StopApplication() {
  const ApplicationLock lock(applicationLock);
  CloseSessionProcess();
  if (applicationLaunched) QuitApplication(lock);
}

int32_t Validator::QuitApplication(const ApplicationLock& held) {
  platform::PostCloseToProcessWindows(sessionPid);
  uint32_t result = 0;
  if (launchedProcess.process) {
    platform::ProcessHandle& process = *launchedProcess.process;
    result = WaitForProcessToFinish(process, kQuitWaitSeconds);
    if (result == platform::kWaitTimeout) {
      Log(LogLevel::Error, {"Could not quit application gracefully in ",
                            std::to_string(kQuitWaitSeconds), " seconds, force quitting"});
      if (!process.Terminate(1)) {
        result = platform::LastErrorCode();
        LogSystemError("TerminateProcess failed.");
      } else {
        result = WaitForProcessToFinish(process, kTerminationWaitSeconds);
        if (result == platform::kWaitTimeout) {
          LogError("Timed out waiting for the process to terminate!");
        }
      }
    }
  }
  launchedProcess = {};  // closes the process's handles
  ForgetApplication(held);
  return HResultFromWin32(result);
}

uint32_t Validator::WaitForProcessToFinish(platform::ProcessHandle& process, float seconds) {
  const std::chrono::milliseconds timeout(static_cast<int64_t>(std::max(0.0f, seconds) * 1000.0f));
  const uint32_t result = waits.waitForObject(process, timeout);
  if (result != platform::kWaitFailed) return result;
  const uint32_t error = platform::LastErrorCode();
  LogSystemError("WaitForProcessToFinish failed.");
  return error;
}

void Validator::CloseSessionProcess() {
  std::lock_guard lock(sessionProcessLock);
  sessionProcessHandle.reset();
}

void Validator::ResetApplicationState() { ForgetApplication(ApplicationLock(applicationLock)); }

void Validator::ForgetApplication(const ApplicationLock&) {
  stopPump = false;
  applicationLaunched = false;
  launchedProcess = {};
  launchedProcessId = 0;
  CloseSessionProcess();
  exitCode = platform::kStillActive;
  ResetEventState();
}

}  // namespace QasValidator
