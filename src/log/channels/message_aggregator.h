#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"

namespace luxlog {

/// 32-bit FNV-1 of at most the first 36 bytes of `text` (up to a NUL): texts that agree in
/// those bytes count as the same text.
uint32_t TextHash(std::string_view text);

/// Milliseconds since midnight of `time`.
int64_t TimeOfDayMs(const platform::LocalDateTime& time);

/// A repeated text whose repeats are being counted.
struct AggregatedMessage {
  std::string channel;
  uint32_t level = 0;
  std::string text;
  int64_t lastMs = 0;       // time of day of its last counted appearance
  uint32_t suppressed = 0;  // repeats held back since the last summary
  uint32_t passed = 0;      // repeats written or summarised
};

/// A line that reports held-back repeats of a text.
struct AggregateSummary {
  std::string channel;
  uint32_t level = 0;
  std::string text;  // "[Aggregated N times] " and the text
};

/// Damps floods of one text. A text seen a second time is watched: while each appearance
/// follows the previous one within a second, the next 8 still pass and the rest are counted.
/// `Flush` turns the counts into summary lines: every 40 counted repeats, and the remainder
/// once the text has been quiet for more than a second.
class MessageAggregator {
 public:
  /// Whether a message passes at time of day `nowMs`.
  bool Passes(std::string_view channel, uint32_t level, std::string_view text, int64_t nowMs);

  /// The summaries due at `nowMs`; forgets texts quiet for more than a second.
  std::vector<AggregateSummary> Flush(int64_t nowMs);

 private:
  std::recursive_mutex lock_;  // guards the tables below
  // Texts seen once, with their order of arrival (only membership and order matter).
  std::list<uint32_t> recentOrder_;
  std::unordered_map<uint32_t, std::list<uint32_t>::iterator> recent_;
  std::unordered_map<uint32_t, AggregatedMessage> aggregated_;
};

}  // namespace luxlog
