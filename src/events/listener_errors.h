#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace LUX::Telemetry {

/// Records were dropped because the ring was full.
inline constexpr int32_t kLostEventsError = -92003;
/// Records arrived too late to be put back into timestamp order.
inline constexpr int32_t kOutOfOrderError = -92004;
/// The connection or the stream failed.
inline constexpr int32_t kConnectionError = -92005;

/// One error of the event listener.
struct ListenerError {
  int32_t code = 0;
  /// Set once a `ProcessEvents` call has passed the error by.
  bool taken = false;
  std::string message;
};

/// The listener's errors, newest last; at most `kCapacity`, the oldest making room. Safe to use
/// from any thread (its lock is the listener's error-list lock, taken alone).
class ListenerErrorList {
 public:
  static constexpr size_t kCapacity = 63;

  void Add(int32_t code, std::string message);
  void MarkAllTaken();
  std::vector<ListenerError> Snapshot() const;

 private:
  mutable std::mutex lock_;
  std::deque<ListenerError> errors_;  // guarded by lock_
};

}  // namespace LUX::Telemetry
