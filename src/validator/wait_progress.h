#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "validator/wait_services.h"

namespace QasValidator {

/// The progress line of one wait for a fixed time: "<test>: <activity>, <N> s left", with N the
/// whole seconds left rounded up. It is rewritten when N changes and erased when the wait ends.
/// Without a display or an activity nothing is shown.
class WaitProgress {
 public:
  using Clock = WaitServices::Clock;

  WaitProgress(const std::function<void(std::string_view)>& display, std::string_view testName,
               std::string_view activity, Clock::time_point deadline);
  /// Erases the line if it was shown.
  ~WaitProgress();
  WaitProgress(const WaitProgress&) = delete;
  WaitProgress& operator=(const WaitProgress&) = delete;

  /// Shows the seconds left at `now`. Returns when the line changes next, so that the wait can
  /// wake up for it; the end of time when there is no line.
  Clock::time_point Update(Clock::time_point now);

 private:
  const std::function<void(std::string_view)>& display_;
  const bool shown_;
  const std::string prefix_;
  const Clock::time_point deadline_;
  int64_t secondsShown_ = -1;
};

}  // namespace QasValidator
