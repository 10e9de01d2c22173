#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/waitable.h"

namespace QasValidator {

/// The clock, the pauses, the Enter and ESC keys and the waits for a process as the validator's
/// waits use them: the system's by default. Tests replace them, so that waits of seconds run at
/// once and exactly.
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
  /// Waits up to `timeout` for `object` to be signalled, as WaitForSingle does: the waits for
  /// the application's process to end when it is quit.
  std::function<uint32_t(platform::Waitable& object, std::chrono::milliseconds timeout)>
      waitForObject;

  /// The system's clock, sleep and keyboard.
  WaitServices();
};

}  // namespace QasValidator
