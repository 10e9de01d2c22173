#include <algorithm>
#include <string>

#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"
#include "validator/version.h"

// The status poll and the bounded waits that every test uses. They run on the main thread; the
// facts they read (the flags, the session process's exit code) are written by the pump thread.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

/// The longest pause between two rounds of a polling loop.
constexpr std::chrono::microseconds kPollPause = 1ms;
/// The pause between two queries of a key that only the user can end the wait with.
constexpr std::chrono::microseconds kKeyPollInterval = 500ms;

}  // namespace

int32_t Validator::CheckApplicationState() {
  if (cancelRequested) {
    LogError("Validation was cancelled");
    return kStatusCancelled;
  }
  if (transientError) {
    Log(LogLevel::Error,
        {"Transient internal error occurred.", " Please try running the test again.\n",
         "If issue persists after several re-runs, please report it at\n", BugReportUrl});
    return kStatusTransientError;
  }
  {
    std::lock_guard lock(sessionProcessLock);
    if (!sessionProcessHandle) return 0;
  }
  const uint32_t code = exitCode;
  if (code == 0) {
    LogVerbose("Application quit with exit code 0");
    return kStatusApplicationQuit;
  }
  if (code == platform::kStillActive) return 0;
  LogError("Application crashed with exit code ", std::to_string(code));
  return kStatusApplicationCrashed;
}

int32_t Validator::WaitFor(const std::function<bool()>& predicate, int32_t timeoutMs,
                           bool checkState) {
  const WaitServices::Clock::time_point start = waits.now();
  const WaitServices::Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(waits.now() - start);
    if (elapsed.count() >= timeoutMs) return kStatusWaitTimeout;
    if (checkState) {
      const int32_t state = CheckApplicationState();
      if (state < 0) return state;
    }
    if (predicate()) return 0;
    YieldUntil(deadline);
  }
}

int32_t Validator::WaitMilliseconds(int32_t milliseconds) {
  const int32_t result = WaitFor([] { return false; }, milliseconds, true);
  return result == kStatusWaitTimeout ? 0 : result;
}

int32_t Validator::WaitForEnterKey(const std::function<bool()>& predicate) {
  for (;;) {
    if (waits.enterPressed()) return 0;
    const int32_t state = CheckApplicationState();
    if (state < 0) return state;
    if (predicate()) return 0;
    YieldUntil(waits.now() + kPollPause);
  }
}

void Validator::WaitForKeyPress(const std::function<bool()>& pressed) {
  while (!pressed()) waits.sleep(kKeyPollInterval);
}

void Validator::YieldUntil(WaitServices::Clock::time_point deadline) {
  const auto remaining =
      std::chrono::duration_cast<std::chrono::microseconds>(deadline - waits.now());
  waits.sleep(std::clamp(remaining, std::chrono::microseconds(0), kPollPause));
}

}  // namespace QasValidator
