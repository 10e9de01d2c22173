#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/waitable.h"
#include "support/machine_prefix.h"
#include "support/runtime_standin.h"
#include "support/shell_service.h"
#include "validator/validator.h"

namespace testsupport {

/// Time that passes only when the validator sleeps or pauses, so that a wait of seconds takes no
/// real time and ends exactly. A pause ends at once when one of its objects is signalled already
/// (the validator's wake-up, an ended process); otherwise it lasts its whole time, and a pause
/// without a time limit ends at once, as if input had arrived. Keep it alive as long as the
/// Validator that uses its services.
class FakeTime {
 public:
  /// Wait services on this time, with `enterPressed` as the Enter key and no progress line.
  QasValidator::WaitServices Services(std::function<bool()> enterPressed = [] { return false; });

  std::chrono::milliseconds Elapsed() const;
  void Advance(std::chrono::microseconds duration) { micros_ += duration.count(); }

 private:
  std::atomic<int64_t> micros_{0};
};

/// What a Validator of a unit test talks to besides the event stream: a private machine prefix
/// with a running shell service (OK to every request unless `responder` says otherwise) and a
/// stand-in for the runtime's settings. Make it before the Validator, whose shell client
/// connects when it is constructed, and in a child process (RunInChild) or before the test
/// starts any thread, since it points the machine prefix elsewhere.
struct ValidatorSurroundings {
  explicit ValidatorSurroundings(ShellService::Responder responder = ShellService::OkToEverything,
                                 bool settingsTaken = true);

  ScopedMachinePrefix prefix;
  ShellService shell;
  RuntimeSettingsStandIn settings;
};

}  // namespace testsupport

namespace QasValidator {

/// The unit tests' way into the Validator's application control: its flags, its session
/// process, its records and its shell client.
class ValidatorTestAccess {
 public:
  static std::atomic<bool>& TransientError(Validator& validator) {
    return validator.transientError;
  }
  static std::atomic<bool>& Cancelled(Validator& validator) { return validator.cancelRequested; }
  /// Opens process `processId` (the calling process by default) as the session process, with
  /// `exitCode` as its last exit code.
  static void SetSessionProcess(Validator& validator, uint32_t exitCode,
                                uint32_t processId = platform::CurrentProcessId());
  /// Wakes the validator's paused wait, as a delivered event batch does.
  static void Wake(Validator& validator) { validator.WakeWaiters(); }
  /// Whether the validator's wake-up is set (it is reset by asking).
  static bool Woken(Validator& validator) {
    return platform::WaitForSingle(*validator.wakeEvent, 0) == 0;
  }
  /// Hands `batch` to the validator as the event pump does.
  static void Deliver(Validator& validator, std::vector<LUX::Telemetry::TelemetryEvent> batch);
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
  static WaitServices& Waits(Validator& validator) { return validator.waits; }

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

/// A Validator on a fake clock whose application (the sleeping program, 30 s) comes to the front of
/// a shell with its session: the shell of ValidatorTestAccess::ApplicationInFront unless `shell`
/// makes another one for the validator. Make it in a child process (RunInChild).
/// With `onPause`, that function is called on the main thread after every sleep of the
/// validator and every millisecond of its waits' pauses (which then end after a millisecond, as
/// if woken), to play the part of the application and the runtime; it must not pause.
struct FrontApplicationRig {
  using ShellFactory = std::function<testsupport::ShellScript(const std::atomic<Validator*>&)>;
  using PauseHook = std::function<void(Validator&)>;

  explicit FrontApplicationRig(
      std::function<bool()> enterPressed = [] { return false; },
      const ShellFactory& shell = ValidatorTestAccess::ApplicationInFront, PauseHook onPause = {});

  std::atomic<Validator*> pointer{nullptr};  // the validator, once it exists
  testsupport::ValidatorSurroundings surroundings;
  testsupport::FakeTime time;
  Validator validator;

 private:
  WaitServices PausingServices(std::function<bool()> enterPressed, PauseHook onPause);
};

}  // namespace QasValidator
