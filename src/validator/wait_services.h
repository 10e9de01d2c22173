#pragma once

#include <chrono>
#include <functional>

namespace QasValidator {

/// The clock, the pauses and the Enter and ESC keys as the validator's waits use them: the
/// system's by default. Tests replace them, so that waits of seconds run at once and exactly.
struct WaitServices {
  using Clock = std::chrono::steady_clock;

  /// The monotonic clock that time-outs are measured with.
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
  /// Sleep: the paced pauses of the session search and the frame-rate printer, and the short
  /// pauses of the polling loops.
  std::function<void(std::chrono::microseconds)> sleep;
  /// Whether the Enter key is down or was pressed since the previous query.
  std::function<bool()> enterPressed;
  /// The same for the ESC key.
  std::function<bool()> escapePressed;

  /// The system's clock, sleep and keyboard.
  WaitServices();
};

}  // namespace QasValidator
