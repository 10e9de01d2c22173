#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// Seconds on the monotonic high-resolution clock (the performance-counter clock).
double MonotonicSeconds();

/// Milliseconds on the monotonic clock, the tick count that bounded waits are measured with.
uint64_t TickCountMs();

/// Wall-clock time in 100-nanosecond units since the Unix epoch.
int64_t SystemTime100ns();

/// The local time now, formatted with strftime's `format`.
std::string LocalTimeText(const char* format);

/// A local date and time to the millisecond (SYSTEMTIME).
struct LocalDateTime {
  uint16_t year = 0;
  uint16_t month = 0;  // 1 to 12
  uint16_t day = 0;    // 1 to 31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

/// The local date and time now (GetLocalTime).
LocalDateTime LocalTimeNow();

}  // namespace platform
