#include "realtime_event_stream.h"

#include <chrono>

#include "protocol/messages.h"
#include "protocol/simulated_headset.h"

namespace luxsim {

namespace {

constexpr auto kCompositorFramePeriod = std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::duration<double>(1.0 / kDisplayRefreshRate));

}  // namespace

RealtimeEventStream::RealtimeEventStream(uint16_t port, std::function<double()> clock,
                                         bool reportGoneClients)
    : port_(port), clock_(std::move(clock)), reportGoneClients_(reportGoneClients) {}

RealtimeEventStream::~RealtimeEventStream() {
  if (loop_ != nullptr && compositorClock_ != 0) loop_->CancelTimer(compositorClock_);
}

bool RealtimeEventStream::Start(ServiceContext& context, std::string* error) {
  loop_ = &context.loop;
  server_ = std::make_unique<EventStreamServer>(context.loop);
  if (!server_->Listen(port_, error)) return false;
  source_ = std::make_unique<RealtimeEventSource>(
      context.sessions, context.properties, clock_, context.headset.Connected(),
      [server = server_.get()](const LUX::Telemetry::TelemetryEvent& record) {
        server->Post(record);
      });
  source_->ReportSessionsOfGoneClients(reportGoneClients_);
  context.sessions.AddObserver(source_.get());
  HeadsetState& headset = context.headset;
  headset.AddListener([this, &headset] { source_->OnHeadsetChanged(headset.Connected()); });
  context.requests.AddFailureObserver(
      [this](const RequestContext& requester, luxResult result, const std::string& text) {
        source_->OnRequestFailed(requester.pid, result, text);
      });
  context.requests.Handle(
      op::kRaiseRuntimeError,
      [this](const RequestContext& requester, const Json::Value& request, const Reply& reply) {
        const Json::Value& code = request["code"];
        if (!code.isInt() || LUX_SUCCESS(code.asInt())) {
          reply(Answer(luxError_InvalidParameter, "A runtime error has a negative code"));
          return;
        }
        source_->RaiseError(requester.pid, code.asInt(), request["text"].asString(),
                            request["not_counted"].asBool());
        reply(Answer(luxSuccess));
      });
  compositorClock_ = context.loop.AddTimer(kCompositorFramePeriod, kCompositorFramePeriod,
                                           [this] { OnCompositorFrame(); });
  if (compositorClock_ == 0) {
    *error = "cannot start the compositor clock";
    return false;
  }
  return true;
}

void RealtimeEventStream::OnCompositorFrame() {
  source_->OnCompositorFrame();
  server_->Flush();
}

}  // namespace luxsim
