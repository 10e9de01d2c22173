#include "realtime_event_source.h"

#include <optional>

#include "engine_identity.h"
#include "event_records.h"

namespace luxsim {

namespace {

using LUX::Telemetry::TelemetryEvent;

/// The render pose value of a frame: the x position of the first shown layer's render pose.
std::optional<float> RenderPoseValue(const std::vector<SubmittedLayer>& layers) {
  for (const SubmittedLayer& layer : layers) {
    if (layer.hasRenderPose && records::LayerKind(layer.type)) return layer.renderPose.Position.x;
  }
  return std::nullopt;
}

}  // namespace

RealtimeEventSource::RealtimeEventSource(const SessionRegistry& sessions,
                                         const PropertyStore& properties,
                                         std::function<double()> clock, bool headsetConnected,
                                         Sink sink)
    : sessions_(sessions),
      properties_(properties),
      clock_(std::move(clock)),
      sink_(std::move(sink)),
      headsetConnected_(headsetConnected) {}

void RealtimeEventSource::Emit(const TelemetryEvent& record) {
  if (output_.IsOn()) sink_(record);
}

bool RealtimeEventSource::Admits(PerFrameRecord kind, const Session& session) {
  if (!output_.IsOn()) return false;
  const int frequentPid = properties_.RuntimeInt(kFrequentEventsSetting, 0);
  return frequentEvents_.Admits(kind, session, static_cast<uint32_t>(frequentPid));
}

void RealtimeEventSource::OnClientDisconnected(const Client& client) { output_.Forget(client.id); }

void RealtimeEventSource::OnClientBuildReported(const Client& client) {
  Emit(records::ClientConnectInfoEvent(client.pid, client.requestedMinorVersion, *client.build,
                                       clock_()));
}

void RealtimeEventSource::OnClientIdentified(const Client& client, const std::string& identity) {
  if (const std::optional<EngineIdentity> engine = ParseEngineIdentity(identity)) {
    Emit(records::EngineIdentificationEvent(client.pid, *engine, clock_()));
  }
}

void RealtimeEventSource::OnRealtimeEventOutputChanged(const Client& client) {
  output_.Set(client.id, client.realtimeEventOutput);
}

void RealtimeEventSource::OnPropertyRead(const Client& client, const std::string& name) {
  Emit(records::PropertyReadEvent(client.pid, name, clock_()));
}

void RealtimeEventSource::OnSessionCreated(const Session& session) {
  Emit(records::ProcessEvent(LUX::Telemetry::kSessionCreated, session.pid, session.createdTime));
}

void RealtimeEventSource::OnSessionDestroyed(const Session& session) {
  frequentEvents_.Forget(session.id);
  if (session.clientGone && !reportGoneClients_) return;
  Emit(records::ProcessEvent(LUX::Telemetry::kSessionDestroyed, session.pid, clock_()));
}

void RealtimeEventSource::OnSessionStatusChanged(const Session& session) {
  Emit(records::SessionStatusEvent(session.pid, session.status, clock_()));
}

void RealtimeEventSource::OnFrameSubmitted(const Session& session, int64_t /*frameIndex*/,
                                           const std::vector<SubmittedLayer>& layers) {
  const double now = clock_();
  if (Admits(PerFrameRecord::kFrameSubmitted, session)) {
    Emit(records::ProcessEvent(LUX::Telemetry::kFrameSubmitted, session.pid, now));
  }
  if (Admits(PerFrameRecord::kLayersSubmitted, session)) {
    Emit(records::LayersEvent(session.pid, layers, now));
  }
  const std::optional<float> renderPose = RenderPoseValue(layers);
  if (renderPose && Admits(PerFrameRecord::kRenderPoseSubmitted, session)) {
    Emit(records::RenderPoseEvent(session.pid, *renderPose, now));
  }
}

void RealtimeEventSource::OnSwapChainCommitted(const Session& session, uint64_t /*swapChain*/) {
  if (Admits(PerFrameRecord::kSwapChainCommitted, session)) {
    Emit(records::ProcessEvent(LUX::Telemetry::kSwapChainCommitted, session.pid, clock_()));
  }
}

void RealtimeEventSource::OnRenderDescFetched(const Session& session, luxEyeType eye,
                                              const luxPosef& eyePose) {
  if (Admits(PerFrameRecord::kRenderDescFetched, session)) {
    Emit(records::RenderDescEvent(session.pid, eye, eyePose, clock_()));
  }
}

void RealtimeEventSource::OnRecenterFlagCleared(const Session& session) {
  Emit(records::ProcessEvent(LUX::Telemetry::kRecenterFlagCleared, session.pid, clock_()));
}

void RealtimeEventSource::OnHeadsetChanged(bool connected) {
  if (connected == headsetConnected_) return;
  headsetConnected_ = connected;
  Emit(records::CableStateEvent(connected, clock_()));
}

void RealtimeEventSource::OnRequestFailed(uint32_t pid, int32_t result, const std::string& error) {
  Emit(records::RuntimeErrorEvent(pid, result, error, result == luxError_DisplayLost, clock_()));
}

void RealtimeEventSource::RaiseError(uint32_t pid, int32_t code, const std::string& text,
                                     bool notCounted) {
  Emit(records::RuntimeErrorEvent(pid, code, text, notCounted, clock_()));
}

const Session* RealtimeEventSource::VisibleSession() const {
  for (const Session* session : sessions_.Sessions()) {
    if (session->status.visible) return session;
  }
  return nullptr;
}

void RealtimeEventSource::OnCompositorFrame() {
  const uint64_t frame = compositorFrame_++;
  const Session* visible = VisibleSession();
  const bool lost = lostFrames_.OnCompositorFrame(visible);
  const double now = clock_();
  if (lost) Emit(records::LostFrameEvent(visible->pid, frame, now));
  Emit(records::EndCompositorFrameEvent(frame, now));
}

}  // namespace luxsim
