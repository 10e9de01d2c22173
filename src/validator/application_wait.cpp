#include <algorithm>
#include <array>
#include <atomic>
#include <string>

#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"
#include "validator/version.h"
#include "validator/wait_progress.h"

// The status poll and the waits that every test uses. They run on the main thread; the facts
// they read (the flags, the session process's exit code) are written by the pump thread, which
// wakes them when it has delivered records they do not ignore, read a new exit code or a transient
// error. Between two rounds a wait sleeps until such a wake-up, the end of the session process,
// the next second of its progress line or its time-out, so it costs the processor nothing while
// it waits.

namespace QasValidator {

namespace {

using Clock = WaitServices::Clock;
using std::chrono::microseconds;

/// The longest pause of a wait that nothing can wake (the system had no event to give).
constexpr microseconds kUnwakeablePause = std::chrono::milliseconds(1);

/// Counts a wait among those that ignore event batches for as long as it runs. A count rather
/// than a flag, since a quit on the console-control thread may wait at the same time.
class BatchesIgnored {
 public:
  BatchesIgnored(std::atomic<int>& waits, bool ignored) : waits_(ignored ? &waits : nullptr) {
    if (waits_ != nullptr) ++*waits_;
  }
  BatchesIgnored(const BatchesIgnored&) = delete;
  BatchesIgnored& operator=(const BatchesIgnored&) = delete;
  ~BatchesIgnored() {
    if (waits_ != nullptr) --*waits_;
  }

 private:
  std::atomic<int>* waits_;
};

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
                           bool checkState, const WaitOptions& options) {
  const Clock::time_point start = waits.now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  WaitProgress progress(waits.showProgress, ProgressTestName(), options.activity, deadline);
  const std::shared_ptr<platform::ProcessHandle> session = checkState ? SessionProcess() : nullptr;
  platform::Waitable* watched = options.process != nullptr ? options.process : session.get();
  const BatchesIgnored ignoring(batchIgnoringWaits, !predicate);
  for (;;) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(waits.now() - start);
    if (elapsed.count() >= timeoutMs) return kStatusWaitTimeout;
    if (checkState) {
      const int32_t state = CheckApplicationState();
      if (state < 0) return state;
    }
    if (predicate && predicate()) return 0;
    const Clock::time_point now = waits.now();
    Clock::time_point until = std::min(deadline, progress.Update(now));
    if (options.pollInterval != kUntilWoken) until = std::min(until, now + options.pollInterval);
    PauseUntil(until, watched, options.keys);
  }
}

int32_t Validator::WaitMilliseconds(int32_t milliseconds, std::string_view activity) {
  const int32_t result = WaitFor({}, milliseconds, true, {.activity = activity});
  return result == kStatusWaitTimeout ? 0 : result;
}

int32_t Validator::WaitForEnterKey(const std::function<bool()>& predicate,
                                   std::chrono::milliseconds pollInterval) {
  const std::shared_ptr<platform::ProcessHandle> session = SessionProcess();
  platform::Waitable* watched = session.get();
  const BatchesIgnored ignoring(batchIgnoringWaits, !predicate);
  for (;;) {
    if (waits.enterPressed()) return 0;
    const int32_t state = CheckApplicationState();
    if (state < 0) return state;
    if (predicate && predicate()) return 0;
    PauseUntil(pollInterval == kUntilWoken ? Clock::time_point::max() : waits.now() + pollInterval,
               watched, true);
  }
}

void Validator::WaitForKeyPress(const std::function<bool()>& pressed) {
  platform::Waitable* none = nullptr;
  while (!pressed()) PauseUntil(Clock::time_point::max(), none, true);
}

void Validator::PauseUntil(Clock::time_point until, platform::Waitable*& process, bool keys) {
  microseconds duration = WaitServices::kForever;
  if (until != Clock::time_point::max()) {
    duration = std::chrono::ceil<microseconds>(until - waits.now());
    if (duration <= microseconds(0)) return;
  }
  std::array<platform::Waitable*, 2> sources{};
  size_t count = 0;
  if (wakeEvent) {
    sources[count++] = &*wakeEvent;
  } else {
    duration = std::min(duration, kUnwakeablePause);
  }
  if (process != nullptr) sources[count++] = process;
  const uint32_t woke = waits.pause({sources.data(), count}, duration, keys);
  if (process != nullptr && woke == count - 1) {
    RefreshExitCode();
    process = nullptr;
  }
}

void Validator::WakeWaiters() {
  if (wakeEvent) wakeEvent->Set();
}

void Validator::OnBatchDelivered() {
  if (batchIgnoringWaits == 0) WakeWaiters();
}

std::shared_ptr<platform::ProcessHandle> Validator::SessionProcess() {
  std::lock_guard lock(sessionProcessLock);
  return sessionProcessHandle;
}

std::string Validator::ProgressTestName() {
  std::lock_guard lock(progressLock);
  return progressTestName;
}

}  // namespace QasValidator
