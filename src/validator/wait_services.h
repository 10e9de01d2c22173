#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "platform/waitable.h"

namespace QasValidator {

/// The clock, the pauses, the Enter and ESC keys, the waits for a process and the progress line
/// as the validator's waits use them: the system's by default. Tests replace them, so that waits
/// of seconds run at once and exactly.
struct WaitServices {
  using Clock = std::chrono::steady_clock;
  /// The objects whose signal ends a pause early.
  using WakeSources = std::span<platform::Waitable* const>;
  /// A pause without a time limit.
  static constexpr std::chrono::microseconds kForever = std::chrono::microseconds::max();

  /// The monotonic clock that time-outs are measured with.
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
  /// Sleep: the paced pauses of the session search, the shell's location and the frame-rate
  /// printer.
  std::function<void(std::chrono::microseconds)> sleep;
  /// A pause between two rounds of a wait: it ends when one of `sources` is signalled (its
  /// index is returned), when a key arrives at the console while `keys` is set, or when
  /// `duration` has passed (kWaitTimeout for both).
  std::function<uint32_t(WakeSources sources, std::chrono::microseconds duration, bool keys)> pause;
  /// Whether the Enter key is down or was pressed since the previous query.
  std::function<bool()> enterPressed;
  /// The same for the ESC key.
  std::function<bool()> escapePressed;
  /// Shows the progress line of a long wait (an empty text erases it); none when the progress
  /// is not shown, which is the case unless standard output and standard error are terminals.
  std::function<void(std::string_view)> showProgress;
  /// Waits up to `timeout` for `object` to be signalled, as WaitForSingle does: the waits for
  /// the application's process to end when it is quit.
  std::function<uint32_t(platform::Waitable& object, std::chrono::milliseconds timeout)>
      waitForObject;

  /// The system's clock, pauses, keyboard and console.
  WaitServices();
};

}  // namespace QasValidator
