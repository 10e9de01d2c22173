#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/shell_service.h"
#include "validator/validator.h"

namespace QasValidator {

/// The unit tests' way into the Validator's application control: its flags, its session
/// process, its records and its shell client.
class ValidatorTestAccess {
 public:
  static std::atomic<bool>& TransientError(Validator& validator) {
    return validator.transientError;
  }
  static std::atomic<bool>& Cancelled(Validator& validator) { return validator.cancelRequested; }
  /// Opens the calling process as the session process, with `exitCode` as its last exit code.
  static void SetSessionProcess(Validator& validator, uint32_t exitCode);
  static bool SessionProcessOpen(Validator& validator);
  static bool ApplicationLaunched(Validator& validator);
  static uint32_t LaunchedProcessId(Validator& validator) { return validator.launchedProcessId; }
  static int32_t CheckState(Validator& validator) { return validator.CheckApplicationState(); }
  /// The session wait of the set-up, on a newer or an older shell.
  static int32_t WaitForSession(Validator& validator, bool newerShell);
  /// Notes a session of `processId`, as the session-created event does.
  static void AddSession(Validator& validator, uint32_t processId);
  /// Notes a record of `processId` without a session.
  static void AddRecordWithoutSession(Validator& validator, uint32_t processId);
  /// Notes the first frame of `processId`, `delaySeconds` after its session was created.
  static void AddFirstFrame(Validator& validator, uint32_t processId, double delaySeconds,
                            bool headTracked);
  /// The shell's messages that no request took.
  static std::vector<Json::Value> ShellMessagesKept(Validator& validator) {
    return validator.hub.ReceivedMessages();
  }
  static bool AskDashVisibility(Validator& validator) { return validator.hub.GetDashVisibility(); }

  /// An older shell (no dash-visibility answer) with the application in front: its top
  /// application is the process that `validator` launched, and the runtime reports its
  /// session as soon as the shell is first asked where the user is. `validator` may be set
  /// after the script is made, before the first request.
  static testsupport::ShellScript ApplicationInFront(const std::atomic<Validator*>& validator);
  /// The same on a newer shell: it answers the dash-visibility query ("HIDDEN"), its focused
  /// process is the launched one, whose session the runtime reports as soon as the shell is
  /// first asked for it, and no health-and-safety warning is needed.
  static testsupport::ShellScript NewerShellApplicationInFront(
      const std::atomic<Validator*>& validator);
};

}  // namespace QasValidator
