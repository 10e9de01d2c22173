#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "event_loop.h"
#include "events/telemetry_event.h"
#include "listener_backlog.h"
#include "protocol/unique_fd.h"

namespace luxsim {

/// The network end of the realtime event stream: listens on a TCP port of the loopback address
/// and, at each `Flush`, sends the records posted since the last one to every connected listener
/// in packets of at most 128 records (a listener's receive buffer holds no more). Sockets never
/// block: what a listener does not take at once waits in its backlog (`ListenerBacklog`, at most
/// `kBacklogRecords` records), and the packets that do not fit are dropped for that listener alone.
/// A listener that closes its end or fails is dropped. Listeners send nothing; whatever they send
/// is read and ignored.
class EventStreamServer {
 public:
  /// Records in one packet at most.
  static constexpr size_t kMaxPacketRecords = 128;
  /// Records waiting for one listener at most: the 2199 its ring holds, and as many again.
  static constexpr size_t kBacklogRecords = 4400;

  explicit EventStreamServer(EventLoop& loop) : loop_(loop) {}
  /// Closes the listening socket and every listener; records not yet sent are dropped.
  ~EventStreamServer();
  EventStreamServer(const EventStreamServer&) = delete;
  EventStreamServer& operator=(const EventStreamServer&) = delete;

  /// Listens on 127.0.0.1:`port` (0: a port the system picks); false, with the reason in
  /// `error`, when it cannot.
  bool Listen(uint16_t port, std::string* error);
  /// The port listened on; 0 before `Listen`.
  uint16_t Port() const { return port_; }

  /// Queues `record` for every listener until the next `Flush`.
  void Post(const LUX::Telemetry::TelemetryEvent& record) { pending_.push_back(record); }
  /// Sends the queued records; the listeners connected now get them, later ones never do.
  void Flush();

  size_t ListenerCount() const { return listeners_.size(); }
  /// Records dropped so far because a listener's backlog was full (counted per listener).
  uint64_t DroppedRecords() const { return droppedRecords_; }

 private:
  struct Listener {
    UniqueFd socket;
    ListenerBacklog backlog{kBacklogRecords};
  };

  void Accept();
  void OnListenerEvents(int fd, uint32_t events);
  /// Sends what the listener's backlog holds until the socket takes no more; false when the
  /// connection failed.
  bool SendBacklog(Listener& listener);
  /// False when the listener closed its end or the connection failed.
  bool DrainInput(Listener& listener);
  void Drop(int fd);

  EventLoop& loop_;
  UniqueFd socket_;
  uint16_t port_ = 0;
  std::map<int, Listener> listeners_;                    // by socket descriptor
  std::vector<LUX::Telemetry::TelemetryEvent> pending_;  // posted since the last flush
  uint64_t droppedRecords_ = 0;
};

}  // namespace luxsim
