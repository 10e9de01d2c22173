#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace luxsim {

/// The packets waiting to be sent to one listener of the realtime event stream, bounded by the
/// number of records they hold. A packet that does not fit is dropped whole, so the stream
/// stays a sequence of whole packets, and the listener keeps its connection: it misses the
/// records of the time it was too slow and gets the ones after.
class ListenerBacklog {
 public:
  /// At most `recordLimit` records wait.
  explicit ListenerBacklog(size_t recordLimit) : recordLimit_(recordLimit) {}

  /// Queues `packet` of `recordCount` records; false (and the packet counted as dropped) when
  /// it does not fit.
  bool Offer(std::vector<std::byte> packet, size_t recordCount);
  /// The bytes to send next: the rest of the oldest packet; empty when nothing waits.
  std::span<const std::byte> Pending() const;
  /// Notes that `count` bytes of `Pending()` were sent.
  void Consume(size_t count);

  bool Empty() const { return packets_.empty(); }
  size_t QueuedRecords() const { return queuedRecords_; }
  uint64_t DroppedRecords() const { return droppedRecords_; }

 private:
  struct Packet {
    std::vector<std::byte> bytes;
    size_t recordCount;
  };

  const size_t recordLimit_;
  std::deque<Packet> packets_;
  size_t sentOfFront_ = 0;  // bytes of the oldest packet already sent
  size_t queuedRecords_ = 0;
  uint64_t droppedRecords_ = 0;
};

}  // namespace luxsim
