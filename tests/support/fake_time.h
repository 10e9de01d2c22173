#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "validator/wait_services.h"

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
  /// The longest single sleep or pause so far.
  std::chrono::microseconds LongestSleep() const { return longestSleep_; }
  void Advance(std::chrono::microseconds duration) { micros_ += duration.count(); }

 private:
  void Pass(std::chrono::microseconds duration);

  std::atomic<int64_t> micros_{0};
  std::chrono::microseconds longestSleep_{0};  // of the thread that sleeps
};

}  // namespace testsupport
