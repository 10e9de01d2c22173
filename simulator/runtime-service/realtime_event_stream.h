#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "event_stream_server.h"
#include "platform/clock.h"
#include "realtime_event_source.h"
#include "service_module.h"

namespace luxsim {

/// The runtime's realtime event stream: the records of `RealtimeEventSource`, sent to the
/// listeners of `EventStreamServer`, and the 90 Hz compositor clock whose frames it reports.
/// The records made between two compositor frames go out together once the second frame is
/// reported, as from a runtime that flushes its telemetry from the compositor's loop: a few
/// packets a frame instead of one per request, and at most one period (11.1 ms) of delay, far
/// below the 0.15 s a listener holds every record back. It also serves the simulator's own
/// request to raise a runtime error on purpose.
class RealtimeEventStream final : public ServiceModule {
 public:
  /// The port of the realtime event stream on the loopback address.
  static constexpr uint16_t kDefaultPort = 31482;

  /// Listens on `port` (0: a port the system picks); stamps the records with `clock`, the clock
  /// of the sessions' creation times. `reportGoneClients` false leaves out the session-destroyed
  /// records of a client that goes away without destroying its sessions.
  explicit RealtimeEventStream(uint16_t port = kDefaultPort,
                               std::function<double()> clock = platform::MonotonicSeconds,
                               bool reportGoneClients = true);
  ~RealtimeEventStream() override;

  bool Start(ServiceContext& context, std::string* error) override;
  uint16_t Port() const { return server_ ? server_->Port() : 0; }

 private:
  /// Reports the compositor frame and sends every record made since the last one.
  void OnCompositorFrame();

  const uint16_t port_;
  std::function<double()> clock_;
  const bool reportGoneClients_;
  EventLoop* loop_ = nullptr;
  std::unique_ptr<EventStreamServer> server_;
  std::unique_ptr<RealtimeEventSource> source_;
  EventLoop::TimerId compositorClock_ = 0;
};

}  // namespace luxsim
