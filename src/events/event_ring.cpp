#include "events/client_socket.h"

#include <cmath>
#include <string>
#include <utility>

// The ring of the listener: enqueueing, putting late arrivals in order, holding records back
// until they are 0.15 s old and delivering them in batches.

namespace LUX::Telemetry {

ListenerCounters TClientSocket::Counters() const {
  std::lock_guard ring(ringLock_);
  return {recordsReceived_, ringOverflows_, recordsSorted_};
}

void TClientSocket::Enqueue(const TelemetryEvent& record) {
  bool lost = false;
  bool wakeUp = false;
  {
    std::lock_guard ring(ringLock_);
    ++recordsReceived_;
    const double now = clock_();
    const uint32_t next = Next(write_);
    if (next == read_.load(std::memory_order_acquire)) lost = DropOldestLocked(wakeUp);
    TelemetryEvent& slot = slots_[write_];
    slot = record;
    if (slot.timestamp == 0.0) slot.timestamp = now;
    if (slot.type == kObjectOwningEvent) WritePayload<uint64_t, kOwnedObjectOffset>(slot, 0);
    write_ = next;
    wakeUp = ReleaseAgedLocked(now) || wakeUp;
  }
  if (lost) lostRecords_.fetch_add(1);
  if (wakeUp) SignalDataReady();
}

bool TClientSocket::DropOldestLocked(bool& wakeUp) {
  std::lock_guard delivery(deliveryLock_);
  const uint32_t oldest = read_.load(std::memory_order_relaxed);
  // A delivery that ended while this thread waited for the lock may have made room.
  if (Next(write_) != oldest) return false;
  ++ringOverflows_;
  const uint32_t newRead = Next(oldest);
  if (sort_ == oldest) sort_ = newRead;
  if (release_ == oldest) {
    release_ = newRead;
    wakeUp = CountReleasedLocked();
  }
  read_.store(newRead, std::memory_order_release);
  return true;
}

bool TClientSocket::ReleaseAgedLocked(double now) {
  bool wakeUp = false;
  while (release_ != write_ && slots_[release_].timestamp < now - kHoldBackSeconds) {
    wakeUp = CountReleasedLocked() || wakeUp;
    release_ = Next(release_);
  }
  return wakeUp;
}

bool TClientSocket::CountReleasedLocked() {
  if (++releasedSinceWakeUp_ < kWakeUpThreshold) return false;
  releasedSinceWakeUp_ = 0;
  return true;
}

void TClientSocket::ProcessEvents(const EventCallback& callback, int32_t maxBatchCount) {
  const double now = clock_();
  const double cutoff = now - kHoldBackSeconds;
  uint32_t outOfOrder = 0;
  {
    std::lock_guard ring(ringLock_);
    outOfOrder = SortArrivalsLocked(now, cutoff);
  }
  if (outOfOrder > 0) {
    errors_.Add(kOutOfOrderError, std::to_string(outOfOrder) + " events out-of-order");
  }
  DeliverDue(callback, cutoff, maxBatchCount == 0 ? kDefaultBatchCount : maxBatchCount);
  const uint32_t lost = lostRecords_.exchange(0);
  if (lost > 0) errors_.Add(kLostEventsError, "Lost " + std::to_string(lost) + " events");
  errors_.MarkAllTaken();
}

uint32_t TClientSocket::SortArrivalsLocked(double now, double cutoff) {
  const uint32_t read = read_.load(std::memory_order_relaxed);
  for (uint32_t position = sort_; position != write_; position = Next(position)) {
    TelemetryEvent& slot = slots_[position];
    const double previous = slots_[Previous(position)].timestamp;
    // A clock that runs ahead of ours must not hold the stream back, nor may a time that is no
    // time at all (NaN never counts as old enough, infinity never comes).
    if (!std::isfinite(slot.timestamp) || slot.timestamp > now + kHoldBackSeconds) {
      slot.timestamp = previous;
    }
    if (recordsSorted_ > 0 && slot.timestamp < previous) {
      // Too late to be put in order: its place may have been delivered already.
      if (slot.timestamp < cutoff || position == read) {
        ++outOfOrderRecords_;
      } else {
        MoveBackIntoOrderLocked(position, read);
      }
    }
    ++recordsSorted_;
  }
  sort_ = write_;
  if (outOfOrderRecords_ == 0 || suppressOutOfOrderReports_) return 0;
  return std::exchange(outOfOrderRecords_, 0);
}

void TClientSocket::MoveBackIntoOrderLocked(uint32_t position, uint32_t read) {
  const TelemetryEvent record = slots_[position];
  while (position != read && slots_[Previous(position)].timestamp > record.timestamp) {
    slots_[position] = slots_[Previous(position)];
    position = Previous(position);
  }
  slots_[position] = record;
}

void TClientSocket::DeliverDue(const EventCallback& callback, double cutoff, int32_t batches) {
  std::array<TelemetryEvent*, kBatchLimit> batch;
  std::unique_lock ring(ringLock_);
  for (int32_t round = 0; round < batches; ++round) {
    uint32_t position = read_.load(std::memory_order_relaxed);
    int32_t count = 0;
    bool reachedYoungRecord = false;
    while (count < kBatchLimit && position != sort_ && position != write_) {
      if (!(slots_[position].timestamp < cutoff)) {
        reachedYoungRecord = true;
        break;
      }
      batch[count++] = &slots_[position];
      position = Next(position);
    }
    if (count > 0) {
      // The callback runs under the delivery lock alone, so the receive thread goes on
      // enqueueing unless the ring is full.
      std::lock_guard delivery(deliveryLock_);
      ring.unlock();
      callback(batch.data(), count);
      read_.store(position, std::memory_order_release);
    }
    if (!ring.owns_lock()) ring.lock();
    if (reachedYoungRecord) break;
    const uint32_t read = read_.load(std::memory_order_relaxed);
    if (read == write_ || read == sort_) break;
  }
}

}  // namespace LUX::Telemetry
