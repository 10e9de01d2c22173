#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>

#include "ipc/server.h"
#include "loop_mailbox.h"
#include "service_module.h"
#include "shell_outbox.h"
#include "shell_requests.h"
#include "shell_state.h"

namespace luxsim {

/// The runtime's shell service "HUB_IPC": the IPC server whose clients call "toHub" with JSON
/// requests and get each response through their own "toClient".
///
/// Threads: the IPC server accepts clients on its own thread and serves each client's calls on
/// that connection's transport thread. "toHub" only posts the request to the event loop and
/// returns; the loop carries it out against the shell's state (which, like the rest of the
/// service's core, only the loop touches) and hands the response to the outbox, whose thread
/// calls the client's "toClient". So the client's call returns before its response is sent,
/// as the client expects, and the loop never waits for a client.
class HubShellService final : public ServiceModule, private IPC::ServerListener {
 public:
  struct Options {
    /// Behave as an older shell, without the requests that came with the dash.
    bool olderShell = false;
    /// Show the health-and-safety warning to newly launched applications.
    bool healthAndSafetyWarning = true;
    /// A test aid: the responses to requests of this path are sent this much later.
    std::string delayedPath;
    std::chrono::milliseconds delay{0};
  };

  explicit HubShellService(Options options);
  ~HubShellService() override;

  bool Start(ServiceContext& context, std::string* error) override;

 private:
  void OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) override;
  void OnClientDisconnected(IPC::ServerConnection& connection) override;
  /// On the loop: carries out one request of `connection` and sends its response.
  void Serve(const std::weak_ptr<IPC::ServerConnection>& connection, const std::string& request);

  const Options options_;
  EventLoop* loop_ = nullptr;
  std::unique_ptr<ShellState> state_;
  std::unique_ptr<ShellRequests> requests_;
  std::set<EventLoop::TimerId> delayedResponses_;  // timers of responses sent later
  // Used from the IPC threads; they end when the server stops, first thing on destruction.
  std::unique_ptr<LoopMailbox> mailbox_;
  std::unique_ptr<ShellOutbox> outbox_;
  IPC::Server server_{*this};
};

}  // namespace luxsim
