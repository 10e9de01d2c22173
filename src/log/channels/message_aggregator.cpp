#include "log/channels/message_aggregator.h"

namespace luxlog {

namespace {

constexpr size_t kHashedBytes = 36;
constexpr int64_t kWindowMs = 1000;      // repeats closer than this are counted
constexpr uint32_t kPassingRepeats = 8;  // repeats that still pass once a text is watched
constexpr uint32_t kSummaryCount = 40;   // counted repeats that make a summary at once
constexpr size_t kRecentHigh = 80;       // above this many recent texts ...
constexpr size_t kRecentTrim = 120;      // ... the oldest this many are forgotten
constexpr int64_t kDayMs = 86'400'000;

/// Milliseconds from `earlierMs` to `nowMs`, across midnight. Threads read the clock before
/// they take the lock, so a time a few milliseconds older than the last one seen is no day
/// later: it counts as no time at all. Only a jump back by more than half a day is midnight.
int64_t Since(int64_t earlierMs, int64_t nowMs) {
  const int64_t elapsed = nowMs - earlierMs;
  if (elapsed >= 0) return elapsed;
  return elapsed < -kDayMs / 2 ? elapsed + kDayMs : 0;
}

AggregateSummary SummaryOf(const AggregatedMessage& message) {
  return {message.channel, message.level,
          "[Aggregated " + std::to_string(message.suppressed) + " times] " + message.text};
}

}  // namespace

uint32_t TextHash(std::string_view text) {
  uint32_t hash = 0x811C9DC5u;
  for (size_t i = 0; i < text.size() && i < kHashedBytes && text[i] != '\0'; ++i) {
    hash *= 16777619u;
    hash ^= static_cast<uint8_t>(text[i]);
  }
  return hash;
}

int64_t TimeOfDayMs(const platform::LocalDateTime& time) {
  return ((int64_t{time.hour} * 60 + time.minute) * 60 + time.second) * 1000 + time.milliseconds;
}

bool MessageAggregator::Passes(std::string_view channel, uint32_t level, std::string_view text,
                               int64_t nowMs) {
  std::lock_guard hold(lock_);
  const uint32_t hash = TextHash(text);
  const auto watched = aggregated_.find(hash);
  if (watched == aggregated_.end()) {
    const auto seen = recent_.find(hash);
    if (seen != recent_.end()) {
      recentOrder_.erase(seen->second);
      recent_.erase(seen);
      aggregated_.emplace(
          hash, AggregatedMessage{std::string(channel), level, std::string(text), nowMs, 0, 0});
    } else {
      recentOrder_.push_back(hash);
      recent_.emplace(hash, std::prev(recentOrder_.end()));
    }
    return true;
  }
  AggregatedMessage& message = watched->second;
  if (Since(message.lastMs, nowMs) >= kWindowMs) return true;
  message.lastMs = nowMs;
  if (message.passed < kPassingRepeats) {
    ++message.passed;
    return true;
  }
  if (++message.suppressed >= kSummaryCount) message.text = text;
  return false;
}

std::vector<AggregateSummary> MessageAggregator::Flush(int64_t nowMs) {
  std::lock_guard hold(lock_);
  if (recent_.size() > kRecentHigh) {
    for (size_t i = 0; i < kRecentTrim && !recentOrder_.empty(); ++i) {
      recent_.erase(recentOrder_.front());
      recentOrder_.pop_front();
    }
  }
  std::vector<AggregateSummary> summaries;
  for (auto entry = aggregated_.begin(); entry != aggregated_.end();) {
    AggregatedMessage& message = entry->second;
    if (Since(message.lastMs, nowMs) <= kWindowMs) {
      if (message.suppressed >= kSummaryCount) {
        summaries.push_back(SummaryOf(message));
        message.passed += message.suppressed;
        message.suppressed = 0;
      }
      ++entry;
    } else {
      if (message.suppressed != 0) summaries.push_back(SummaryOf(message));
      entry = aggregated_.erase(entry);
    }
  }
  return summaries;
}

}  // namespace luxlog
