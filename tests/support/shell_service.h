#pragma once

#include <json/json.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ipc/remote_function.h"
#include "ipc/server.h"

namespace testsupport {

/// A message of the shell service: "messageType" (RESPONSE by default), "sequenceId",
/// "payloadType" and the JSON text `payload`.
std::string ShellMessage(const std::string& id, const std::string& payloadType,
                         const std::string& payload, const std::string& messageType = "RESPONSE");

/// The "sequenceId" of a request, "" when it has none.
std::string SequenceIdOf(const Json::Value& request);

/// The "requestName" of a request, "" when it has none.
std::string RequestNameOf(const Json::Value& request);

/// An in-test shell service "HUB_IPC": its "toHub" hands each request to the responder, and
/// sends the messages the responder returns back through the client's "toClient" before the
/// call returns. The connection can also be ended later. Serve it under a private machine
/// prefix (ScopedMachinePrefix).
class ShellService : public IPC::ServerListener {
 public:
  using Responder = std::function<std::vector<std::string>(const Json::Value& request)>;

  explicit ShellService(Responder responder = OkToEverything);
  ~ShellService() override;

  /// Answers every request with an OK answer.
  static std::vector<std::string> OkToEverything(const Json::Value& request);

  bool Start() { return server_.Start("HUB_IPC"); }

  /// Ends the client's connection after `delay`, from a thread of its own.
  void DisconnectLater(std::chrono::milliseconds delay);

  /// The requests received so far, as JSON texts.
  std::vector<std::string> Requests();
  std::shared_ptr<IPC::ServerConnection> Connection();

  void OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) override;
  void OnClientDisconnected(IPC::ServerConnection&) override {}

  void ToHub(std::string json);

 private:
  Responder responder_;
  IPC::RemoteFunction toClient_{"toClient"};
  std::mutex mutex_;  // guards later_, connection_ and requests_
  std::vector<std::thread> later_;
  std::shared_ptr<IPC::ServerConnection> connection_;
  std::vector<std::string> requests_;
  IPC::Server server_{*this};  // last: it calls back into the members above
};

/// A payload type and its payload.
using ShellAnswer = std::pair<std::string, std::string>;
/// The answer to a request, by its path; nothing for an OK answer.
using ShellScript = std::function<std::optional<ShellAnswer>(const std::string& path)>;
/// Answers each request as `script` says.
ShellService::Responder Answering(ShellScript script);
/// A "PLAIN_PID" answer.
ShellAnswer PidAnswer(uint32_t processId);

/// The paths of the requests the shell received, in order; the proximity-sensor and the dash
/// ("request_the_void") requests are followed by " true" or " false".
std::vector<std::string> RequestPaths(ShellService& shell);

/// `text` without the lines in which the shell client reports its connection and messages at
/// the verbose level.
std::string WithoutShellClientLines(const std::string& text);

}  // namespace testsupport
