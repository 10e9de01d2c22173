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

}  // namespace platform
