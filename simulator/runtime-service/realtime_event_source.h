#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "events/telemetry_event.h"
#include "property_store.h"
#include "runtime_observer.h"
#include "session_registry.h"
#include "stream_policy.h"

namespace luxsim {

/// Makes the realtime event records of what happens in the runtime, while the event output is
/// on, and hands them to a sink in the order they happen. Which records it makes:
///
/// - always: client connect info when a client reports its build; engine identification when
///   an application names its engine; session created, destroyed (also when the process goes
///   away) and every change of a session's status; recenter flag cleared; property read; a
///   runtime error for every request the runtime answers with a failure and for every error an
///   application raises on purpose; the cable state when the headset is plugged in or out;
///   and at every compositor frame, the lost-frame record when the application in front
///   delivered nothing since the previous one (`LostFrameRule`), then the end-of-frame record.
/// - per frame, only as `FrequentEventsFilter` admits: frame submitted, layers submitted, render
///   pose submitted (with the first layer's render pose), render description fetched, swap
///   chain committed.
///
/// The display-lost error (-6000) is marked not counted: the application did not cause it.
class RealtimeEventSource : public RuntimeObserver {
 public:
  using Sink = std::function<void(const LUX::Telemetry::TelemetryEvent&)>;
  /// The runtime setting with the id of the process that asked for frequent events.
  static constexpr char kFrequentEventsSetting[] = "FrequentTelEventPid";

  /// `clock` gives the time records are stamped with, on the clock of the sessions' creation
  /// times; `headsetConnected` is the headset's state now.
  RealtimeEventSource(const SessionRegistry& sessions, const PropertyStore& properties,
                      std::function<double()> clock, bool headsetConnected, Sink sink);

  bool OutputOn() const { return output_.IsOn(); }
  /// Whether the sessions of a client that goes away without destroying them are reported
  /// destroyed (the default). Without the report a tool waiting for the end of such a session
  /// waits in vain, as it would with a runtime that misses a process's death.
  void ReportSessionsOfGoneClients(bool report) { reportGoneClients_ = report; }

  void OnClientDisconnected(const Client& client) override;
  void OnClientBuildReported(const Client& client) override;
  void OnClientIdentified(const Client& client, const std::string& identity) override;
  void OnRealtimeEventOutputChanged(const Client& client) override;
  void OnPropertyRead(const Client& client, const std::string& name) override;
  void OnSessionCreated(const Session& session) override;
  void OnSessionDestroyed(const Session& session) override;
  void OnSessionStatusChanged(const Session& session) override;
  void OnFrameSubmitted(const Session& session, int64_t frameIndex,
                        const std::vector<SubmittedLayer>& layers) override;
  void OnSwapChainCommitted(const Session& session, uint64_t swapChain) override;
  void OnRenderDescFetched(const Session& session, luxEyeType eye,
                           const luxPosef& eyePose) override;
  void OnRecenterFlagCleared(const Session& session) override;

  /// The headset was plugged in or out, or put on or taken off.
  void OnHeadsetChanged(bool connected);
  /// The runtime answered a request of process `pid` with the failure `result`.
  void OnRequestFailed(uint32_t pid, int32_t result, const std::string& error);
  /// Process `pid` raises the runtime error `code` on purpose.
  void RaiseError(uint32_t pid, int32_t code, const std::string& text, bool notCounted);
  /// One compositor frame has ended.
  void OnCompositorFrame();

 private:
  void Emit(const LUX::Telemetry::TelemetryEvent& record);
  bool Admits(PerFrameRecord kind, const Session& session);
  const Session* VisibleSession() const;

  const SessionRegistry& sessions_;
  const PropertyStore& properties_;
  std::function<double()> clock_;
  Sink sink_;
  EventOutputSwitch output_;
  FrequentEventsFilter frequentEvents_;
  LostFrameRule lostFrames_;
  bool headsetConnected_;
  bool reportGoneClients_ = true;
  uint64_t compositorFrame_ = 0;
};

}  // namespace luxsim
