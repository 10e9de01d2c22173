#include "hub_shell_service.h"

#include <functional>

#include "protocol/messages.h"

namespace luxsim {

namespace {

constexpr char kServerName[] = "HUB_IPC";

// The receiving end of one client's "toHub", owned together with its deserializer by the
// connection's function table.
struct ToHubFunction {
  explicit ToHubFunction(std::function<void(std::string)> receive) : receive(std::move(receive)) {}
  void ToHub(std::string request) { receive(std::move(request)); }

  std::function<void(std::string)> receive;
  IPC::CallDeserializer<ToHubFunction, std::string> deserializer{*this, &ToHubFunction::ToHub};
};

}  // namespace

HubShellService::HubShellService(Options options) : options_(std::move(options)) {}

HubShellService::~HubShellService() {
  // No IPC thread may use the members below once they go.
  server_.Stop();
  outbox_.reset();
  mailbox_.reset();
  for (const EventLoop::TimerId timer : delayedResponses_) loop_->CancelTimer(timer);
}

bool HubShellService::Start(ServiceContext& context, std::string* error) {
  loop_ = &context.loop;
  state_ = std::make_unique<ShellState>(
      context.sessions, context.headset,
      ShellState::Options{.healthAndSafetyWarning = options_.healthAndSafetyWarning});
  requests_ = std::make_unique<ShellRequests>(*state_, options_.olderShell);
  // Applications ask the runtime where to play their sound; the shell's audio mode decides.
  context.requests.Handle(op::kAudioOutputDevice,
                          [this](const RequestContext&, const Json::Value&, const Reply& reply) {
                            Json::Value answer = Answer(luxSuccess);
                            answer["device"] = state_->AudioOutputDevice();
                            reply(answer);
                          });
  mailbox_ = std::make_unique<LoopMailbox>(context.loop);
  outbox_ = std::make_unique<ShellOutbox>();
  if (!mailbox_->IsValid() || !outbox_->Start()) {
    *error = "cannot start the shell service";
    return false;
  }
  if (!server_.Start(kServerName)) {
    *error = std::string("cannot serve the shell service ") + kServerName;
    return false;
  }
  return true;
}

void HubShellService::OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) {
  std::weak_ptr<IPC::ServerConnection> from = connection;
  auto function = std::make_shared<ToHubFunction>([this, from](std::string request) {
    mailbox_->Post([this, from, request = std::move(request)] { Serve(from, request); });
  });
  connection->RegisterDeserializer(
      "toHub", std::shared_ptr<IPC::BaseCallDeserializer>(function, &function->deserializer));
}

void HubShellService::OnClientDisconnected(IPC::ServerConnection&) {}

void HubShellService::Serve(const std::weak_ptr<IPC::ServerConnection>& connection,
                            const std::string& request) {
  ShellResponse response = requests_->Answer(request);
  if (options_.delay.count() <= 0 || response.path != options_.delayedPath) {
    outbox_->Send(connection, std::move(response.message));
    return;
  }
  auto timer = std::make_shared<EventLoop::TimerId>(0);
  *timer = loop_->AddTimer(options_.delay, std::chrono::nanoseconds(0),
                           [this, timer, connection, message = response.message] {
                             delayedResponses_.erase(*timer);
                             outbox_->Send(connection, message);
                           });
  if (*timer == 0) {
    outbox_->Send(connection, std::move(response.message));  // no timer: at once
  } else {
    delayedResponses_.insert(*timer);
  }
}

}  // namespace luxsim
