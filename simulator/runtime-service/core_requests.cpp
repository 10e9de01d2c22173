#include "core_requests.h"

#include <iostream>

#include "protocol/messages.h"
#include "protocol/pose_json.h"
#include "protocol/simulated_headset.h"

namespace luxsim {

namespace {

// Runtime settings that simulate a change of the inter-axial distance.
constexpr char kFakeIadEnabled[] = "FakeIADEnabled";
constexpr char kFakeIad[] = "FakeIAD";

Json::Value StatusJson(const SessionStatus& status) {
  Json::Value flags(Json::arrayValue);
  for (const bool flag : {status.visible, status.hmdPresent, status.hmdMounted, status.displayLost,
                          status.shouldQuit, status.shouldRecenter, status.overlayPresent}) {
    flags.append(flag);
  }
  return flags;
}

Json::Value NoSession() { return Answer(luxError_InvalidSession, "No such session"); }

}  // namespace

class CoreRequests::Handlers {
 public:
  Handlers(ServiceContext& context, uint64_t headsetAdapterLuid)
      : context_(context), headsetAdapterLuid_(headsetAdapterLuid) {}

  void Register(RequestRouter& router) {
    Serve(router, op::kHello, &Handlers::Hello);
    Serve(router, op::kClientInfo, &Handlers::ClientInfo);
    Serve(router, op::kCreateSession, &Handlers::CreateSession);
    Serve(router, op::kDestroySession, &Handlers::DestroySession);
    ServeSession(router, op::kSessionStatus, &Handlers::Status);
    Serve(router, op::kSetProperty, &Handlers::SetProperty);
    Serve(router, op::kGetProperty, &Handlers::GetProperty);
    ServeSession(router, op::kRenderDesc, &Handlers::RenderDesc);
    ServeSession(router, op::kWaitFrame, &Handlers::FrameStep);
    ServeSession(router, op::kBeginFrame, &Handlers::FrameStep);
    ServeSession(router, op::kSubmitFrame, &Handlers::SubmitFrame);
    ServeSession(router, op::kCreateSwapChain, &Handlers::CreateSwapChain);
    ServeSession(router, op::kCommitSwapChain, &Handlers::CommitSwapChain);
    ServeSession(router, op::kDestroySwapChain, &Handlers::DestroySwapChain);
    ServeSession(router, op::kClearRecenter, &Handlers::ClearRecenter);
    Serve(router, op::kIdentifyClient, &Handlers::IdentifyClient);
    Serve(router, op::kTrace, &Handlers::Trace);
    Serve(router, op::kRealtimeEventOutput, &Handlers::RealtimeEventOutput);
    Serve(router, op::kSetHdmiCable, &Handlers::SetHdmiCable);
    ServeSession(router, op::kSetRenderAdapter, &Handlers::SetRenderAdapter);
  }

 private:
  using Handler = Json::Value (Handlers::*)(const RequestContext&, const Json::Value&);
  using SessionHandler = Json::Value (Handlers::*)(const RequestContext&, const Session&,
                                                   const Json::Value&);

  void Serve(RequestRouter& router, const char* op, Handler handler) {
    router.Handle(
        op, [this, handler](const RequestContext& context, const Json::Value& request,
                            const Reply& reply) { reply((this->*handler)(context, request)); });
  }

  // Serves a request that names one of the client's sessions.
  void ServeSession(RequestRouter& router, const char* op, SessionHandler handler) {
    router.Handle(op, [this, handler](const RequestContext& context, const Json::Value& request,
                                      const Reply& reply) {
      const Session* session =
          context_.sessions.FindSession(context.client, request["session"].asUInt64());
      reply(session != nullptr ? (this->*handler)(context, *session, request) : NoSession());
    });
  }

  Json::Value Hello(const RequestContext& context, const Json::Value& request) {
    if (Client* client = context_.sessions.FindClient(context.client)) {
      client->requestedMinorVersion = request["minor_version"].asUInt();
      client->focusAware = (request["flags"].asUInt() & luxInit_FocusAware) != 0;
    }
    return Answer(luxSuccess);
  }

  Json::Value ClientInfo(const RequestContext& context, const Json::Value& request) {
    context_.sessions.ReportClientBuild(context.client,
                                        ClientBuild{.buildTool = request["build_tool"].asUInt(),
                                                    .product = request["product"].asUInt(),
                                                    .major = request["major"].asUInt(),
                                                    .minor = request["minor"].asUInt(),
                                                    .patch = request["patch"].asUInt(),
                                                    .buildNumber = request["build"].asUInt()});
    return Answer(luxSuccess);
  }

  Json::Value CreateSession(const RequestContext& context, const Json::Value&) {
    if (!context_.headset.Connected()) return Answer(luxError_NoHmd, "No headset is connected");
    const Session& session = context_.sessions.CreateSession(context.client);
    Json::Value answer = Answer(luxSuccess);
    answer["session"] = Json::UInt64(session.id);
    answer["luid"] = Json::UInt64(headsetAdapterLuid_);
    return answer;
  }

  Json::Value DestroySession(const RequestContext& context, const Json::Value& request) {
    return context_.sessions.DestroySession(context.client, request["session"].asUInt64())
               ? Answer(luxSuccess)
               : NoSession();
  }

  Json::Value Status(const RequestContext&, const Session& session, const Json::Value&) {
    Json::Value answer = Answer(luxSuccess);
    answer["status"] = StatusJson(session.status);
    return answer;
  }

  // The scope of a property request: 0 for the runtime, else one of the client's sessions.
  std::optional<SessionId> PropertyScope(const RequestContext& context,
                                         const Json::Value& request) {
    const SessionId scope = request["session"].asUInt64();
    if (scope != 0 && context_.sessions.FindSession(context.client, scope) == nullptr) {
      return std::nullopt;
    }
    return scope;
  }

  Json::Value SetProperty(const RequestContext& context, const Json::Value& request) {
    const std::optional<SessionId> scope = PropertyScope(context, request);
    if (!scope) return NoSession();
    Json::Value answer = Answer(luxSuccess);
    answer["taken"] = context_.properties.Set(*scope, request["name"].asString(),
                                              request["type"].asString(), request["value"]);
    return answer;
  }

  Json::Value GetProperty(const RequestContext& context, const Json::Value& request) {
    const std::optional<SessionId> scope = PropertyScope(context, request);
    if (!scope) return NoSession();
    const std::string name = request["name"].asString();
    context_.sessions.ReportPropertyRead(context.client, name);
    const std::optional<Json::Value> value =
        context_.properties.Get(*scope, name, request["type"].asString());
    Json::Value answer = Answer(luxSuccess);
    answer["found"] = value.has_value();
    if (value) answer["value"] = *value;
    return answer;
  }

  Json::Value RenderDesc(const RequestContext&, const Session& session,
                         const Json::Value& request) {
    const luxEyeType eye = request["eye"].asInt() == luxEye_Right ? luxEye_Right : luxEye_Left;
    const float iad = context_.properties.RuntimeBool(kFakeIadEnabled, false)
                          ? context_.properties.RuntimeFloat(kFakeIad, kDefaultInterAxialDistance)
                          : kDefaultInterAxialDistance;
    const luxPosef pose = EyeOffsetPose(eye, iad);
    context_.sessions.ReportRenderDesc(session, eye, pose);
    Json::Value answer = Answer(luxSuccess);
    answer["pose"] = PoseToJson(pose);
    return answer;
  }

  // Waiting for and beginning a frame are not paced: the compositor clock answers at once.
  Json::Value FrameStep(const RequestContext&, const Session& session, const Json::Value&) {
    return session.status.displayLost ? DisplayLost() : Answer(luxSuccess);
  }

  Json::Value SubmitFrame(const RequestContext&, const Session& session,
                          const Json::Value& request) {
    if (session.status.displayLost) return DisplayLost();
    // Frames rendered on another adapter never reach the headset: the runtime takes none.
    if (session.renderAdapterLuid && *session.renderAdapterLuid != headsetAdapterLuid_) {
      return Answer(luxSuccess_NotVisible);
    }
    std::vector<SubmittedLayer> layers;
    for (const Json::Value& fields : request["layers"]) {
      SubmittedLayer layer;
      layer.type = fields["type"].asInt();
      layer.hasRenderPose = fields.isMember("render_pose");
      if (layer.hasRenderPose) layer.renderPose = PoseFromJson(fields["render_pose"]);
      layers.push_back(layer);
    }
    context_.sessions.ReportFrame(session, request["frame"].asInt64(), layers);
    return Answer(session.status.visible ? luxSuccess : luxSuccess_NotVisible);
  }

  Json::Value CreateSwapChain(const RequestContext&, const Session& session, const Json::Value&) {
    Json::Value answer = Answer(luxSuccess);
    answer["swap_chain"] = Json::UInt64(context_.sessions.CreateSwapChain(session));
    return answer;
  }

  Json::Value CommitSwapChain(const RequestContext&, const Session& session,
                              const Json::Value& request) {
    return context_.sessions.CommitSwapChain(session, request["swap_chain"].asUInt64())
               ? Answer(luxSuccess)
               : Answer(luxError_TextureSwapChainInvalid, "No such texture swap chain");
  }

  Json::Value DestroySwapChain(const RequestContext&, const Session& session,
                               const Json::Value& request) {
    return context_.sessions.DestroySwapChain(session, request["swap_chain"].asUInt64())
               ? Answer(luxSuccess)
               : Answer(luxError_TextureSwapChainInvalid, "No such texture swap chain");
  }

  Json::Value ClearRecenter(const RequestContext&, const Session& session, const Json::Value&) {
    context_.sessions.ClearRecenter(session);
    return Answer(luxSuccess);
  }

  Json::Value IdentifyClient(const RequestContext& context, const Json::Value& request) {
    context_.sessions.ReportClientIdentity(context.client, request["identity"].asString());
    return Answer(luxSuccess);
  }

  Json::Value Trace(const RequestContext& context, const Json::Value& request) {
    std::clog << "trace from process " << context.pid << ": " << request["message"].asString()
              << std::endl;
    return Answer(luxSuccess);
  }

  Json::Value RealtimeEventOutput(const RequestContext& context, const Json::Value& request) {
    context_.sessions.SetRealtimeEventOutput(context.client, request["enable"].asBool());
    return Answer(luxSuccess);
  }

  // The operator (or a breaker box) plugs the headset's HDMI cable in or pulls it out.
  Json::Value SetHdmiCable(const RequestContext&, const Json::Value& request) {
    context_.headset.SetConnected(request["connected"].asBool());
    return Answer(luxSuccess);
  }

  Json::Value SetRenderAdapter(const RequestContext&, const Session& session,
                               const Json::Value& request) {
    context_.sessions.SetRenderAdapter(session, request["luid"].asUInt64());
    return Answer(luxSuccess);
  }

  // While the headset's cable is out, every frame call fails.
  static Json::Value DisplayLost() {
    return Answer(luxError_DisplayLost, "The headset's display was lost");
  }

  ServiceContext& context_;
  const uint64_t headsetAdapterLuid_;
};

CoreRequests::CoreRequests(uint64_t headsetAdapterLuid) : headsetAdapterLuid_(headsetAdapterLuid) {}
CoreRequests::~CoreRequests() = default;

bool CoreRequests::Start(ServiceContext& context, std::string* /*error*/) {
  handlers_ = std::make_unique<Handlers>(context, headsetAdapterLuid_);
  handlers_->Register(context.requests);
  return true;
}

}  // namespace luxsim
