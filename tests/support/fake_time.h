#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "validator/wait_services.h"

namespace testsupport {

/// Time that passes only when the validator sleeps, so that a wait of seconds takes no real
/// time and ends exactly. Keep it alive as long as the Validator that uses its services.
class FakeTime {
 public:
  /// Wait services on this time, with `enterPressed` as the Enter key.
  QasValidator::WaitServices Services(std::function<bool()> enterPressed = [] { return false; });

  std::chrono::milliseconds Elapsed() const;
  /// The longest single sleep so far.
  std::chrono::microseconds LongestSleep() const { return longestSleep_; }
  void Advance(std::chrono::microseconds duration) { micros_ += duration.count(); }

 private:
  std::atomic<int64_t> micros_{0};
  std::chrono::microseconds longestSleep_{0};  // of the thread that sleeps
};

}  // namespace testsupport
