#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "events/listener_errors.h"
#include "events/telemetry_event.h"
#include "platform/clock.h"
#include "platform/tcp_client_socket.h"

namespace LUX::Telemetry {

/// Running totals of the listener, for diagnostics.
struct ListenerCounters {
  uint64_t recordsReceived = 0;
  uint32_t ringOverflows = 0;
  uint64_t recordsSorted = 0;
};

/// The realtime event listener. It connects to the runtime's event stream on the loopback
/// address, receives it on a thread of its own ("TClientSocket"), keeps the records in a ring
/// of 2200 slots, puts late arrivals back into timestamp order, holds every record back until
/// it is 0.15 s old and hands the records in batches to a callback.
///
/// Threads: the receive thread enqueues; one event-pump thread calls `WaitForEvents` and
/// `ProcessEvents` (and the callback runs on it); another thread connects and destroys the
/// listener. `ProcessEvents` must not run on two threads at once.
///
/// Records that own an object (type 36) cannot arrive over the socket: a pointer in a record
/// from another process means nothing here. `Enqueue` therefore clears that pointer, so no
/// record in the ring owns anything and there is nothing to release on overflow, after
/// delivery or at destruction.
class TClientSocket {
 public:
  /// Seconds on the performance-counter clock.
  using Clock = std::function<double()>;
  /// Receives a batch: pointers into the ring, valid only during the call, and their count.
  using EventCallback = std::function<void(TelemetryEvent** events, int32_t count)>;

  static constexpr uint32_t kSlotCount = 2200;
  static constexpr double kHoldBackSeconds = 0.15;
  /// Records released (0.15 s old) between two wake-ups of `WaitForEvents`.
  static constexpr uint32_t kWakeUpThreshold = 20;
  static constexpr int32_t kBatchLimit = 64;
  /// Batches per `ProcessEvents` call when the caller passes 0.
  static constexpr int32_t kDefaultBatchCount = 35;
  static constexpr int kMinimumReceiveBufferBytes = 32768;
  static constexpr int kReceiveWaitMs = 2000;

  explicit TClientSocket(Clock clock = platform::MonotonicSeconds);
  /// Stops and joins the receive thread and closes the socket.
  ~TClientSocket();
  TClientSocket(const TClientSocket&) = delete;
  TClientSocket& operator=(const TClientSocket&) = delete;

  /// Connects to 127.0.0.1:`port` and starts the receive thread. False (with an error in the
  /// list) when a connection was made before, or the socket cannot be created or connected.
  /// `suppressOutOfOrderReports` keeps late records from being reported in the error list.
  bool Connect(uint16_t port, bool suppressOutOfOrderReports);
  /// Waits until released records are waiting: a negative timeout waits without limit, 0 does
  /// not wait. Returns whether they were (and clears that state).
  bool WaitForEvents(int32_t timeoutMs);
  /// Puts new arrivals in order and hands every record that is 0.15 s old to `callback`, in
  /// batches of at most 64 and at most `maxBatchCount` batches (0 means 35; a negative count
  /// delivers nothing). Reports lost and out-of-order records in the error list.
  void ProcessEvents(const EventCallback& callback, int32_t maxBatchCount);
  /// Adds one record to the ring (the receive thread's step for each record it reads). When
  /// the ring is full the oldest record waiting is dropped and counted as lost.
  void Enqueue(const TelemetryEvent& record);

  /// A copy of the error list (at most 63, oldest first). The validator shows none of them.
  std::vector<ListenerError> Errors() const { return errors_.Snapshot(); }
  ListenerCounters Counters() const;
  /// True while the receive thread reads the stream; false before `Connect` and once the
  /// stream has ended (the connection still counts as made).
  bool IsReceiving() const { return receiving_; }

 private:
  static uint32_t Next(uint32_t position) { return position + 1 == kSlotCount ? 0 : position + 1; }
  static uint32_t Previous(uint32_t position) {
    return position == 0 ? kSlotCount - 1 : position - 1;
  }

  void ReceiveLoop();
  /// Drops the oldest waiting record if the ring is still full; true when it did.
  bool DropOldestLocked(bool& wakeUp);
  /// Moves the release position past every record older than `now` - 0.15 s; true when the
  /// waiter is due to be woken.
  bool ReleaseAgedLocked(double now);
  bool CountReleasedLocked();
  void SignalDataReady();
  /// Puts the records from the sort position to the write position in order; returns the
  /// out-of-order count to report now (0 when there is none or reports are suppressed).
  uint32_t SortArrivalsLocked(double now, double cutoff);
  void MoveBackIntoOrderLocked(uint32_t position, uint32_t read);
  void DeliverDue(const EventCallback& callback, double cutoff, int32_t batches);

  const Clock clock_;
  ListenerErrorList errors_;  // has its own lock, the error-list lock

  // Lock order: ringLock_, then deliveryLock_. waitLock_ and the error-list lock are taken
  // alone; connectionLock_ is held by Connect and the destructor only.
  mutable std::mutex ringLock_;
  std::mutex deliveryLock_;
  std::mutex waitLock_;
  std::recursive_mutex connectionLock_;
  std::condition_variable dataReadyCondition_;  // with waitLock_

  std::vector<TelemetryEvent> slots_;  // guarded by ringLock_; slots being delivered are read
                                       // by the callback under deliveryLock_ alone
  uint32_t write_ = 0;                 // guarded by ringLock_
  // Moved under deliveryLock_ (by delivery without ringLock_), read under ringLock_.
  std::atomic<uint32_t> read_{0};
  uint32_t sort_ = 0;                 // guarded by ringLock_
  uint32_t release_ = 0;              // guarded by ringLock_
  uint64_t recordsReceived_ = 0;      // guarded by ringLock_
  uint32_t ringOverflows_ = 0;        // guarded by ringLock_ and deliveryLock_
  uint32_t outOfOrderRecords_ = 0;    // guarded by ringLock_
  uint64_t recordsSorted_ = 0;        // guarded by ringLock_
  uint32_t releasedSinceWakeUp_ = 0;  // guarded by ringLock_
  std::atomic<uint32_t> lostRecords_{0};
  std::atomic<bool> suppressOutOfOrderReports_{false};
  std::atomic<bool> dataReady_{false};  // set and waited for under waitLock_
  std::atomic<bool> running_{false};
  std::atomic<bool> receiving_{false};

  platform::TcpClientSocket socket_;  // used by Connect and the destructor under
                                      // connectionLock_, by the receive thread in between
  std::thread receiveThread_;         // guarded by connectionLock_
};

}  // namespace LUX::Telemetry
