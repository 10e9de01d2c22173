#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "ipc/protocol.h"
#include "ipc/transport_listener.h"
#include "platform/event.h"
#include "platform/message_pipe.h"

namespace IPC {

class ServerConnection;

/// Hears about the clients of a server.
class ServerListener {
 public:
  virtual ~ServerListener() = default;
  /// A client completed the hello. Register the functions it may call on `connection` here:
  /// its calls are served once this returns. Runs on the server's accept thread.
  virtual void OnClientConnected(const std::shared_ptr<ServerConnection>& connection) = 0;
  /// The connection went away (the client ended or disconnected, or it was closed). Runs on the
  /// connection's transport thread.
  virtual void OnClientDisconnected(ServerConnection& connection) = 0;
};

/// The server's end of the connection to one client. It calls the client's functions and
/// serves the calls of the client with the functions registered on it.
class ServerConnection : private TransportListener, public Protocol {
 public:
  ServerConnection(ServerListener& listener, platform::Event& closedSignal, uint32_t peerProcessId)
      : listener_(listener), closedSignal_(closedSignal), peerProcessId_(peerProcessId) {}
  ~ServerConnection() override;

  uint32_t PeerProcessId() const { return peerProcessId_; }
  bool IsConnected() { return IsTransportConnected(); }
  /// Ends the connection; the client sees it disconnect. From one of this connection's own
  /// calls it only starts the disconnection.
  void Close() { CloseTransport(); }

 private:
  friend class Server;
  bool Start(ConnectionResources resources, bool createdSection,
             std::optional<platform::ProcessHandle> client);
  uint8_t OnCall(int32_t channel, IpcBuffer& request, IpcBuffer& reply) override;
  void OnDisconnected() override;

  ServerListener& listener_;
  platform::Event& closedSignal_;  // the server's, set after OnClientDisconnected
  const uint32_t peerProcessId_;
};

/// How a server treats its clients.
struct ServerOptions {
  /// How long a connecting client may take to send its hello; the accept thread waits for it
  /// (other clients wait meanwhile).
  uint32_t helloTimeoutMs = 10000;
  /// Clients served at the same time; more are refused.
  size_t maxConnections = 16;
  /// Accept clients of other sessions.
  bool skipSessionCheck = false;
};

/// A named server: accepts clients on its pipe, answers their hello, and keeps one
/// ServerConnection per client. One accept thread takes the clients one at a time and drops the
/// connections that have gone away. Every message from a client is checked before use; a client
/// that sends something wrong is refused with a status or disconnected.
class Server {
 public:
  explicit Server(ServerListener& listener, ServerOptions options = {})
      : listener_(listener), options_(options) {}
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  /// Starts serving as `serverName`; false when the name cannot be served (e.g. another live
  /// server has it) or the accept thread cannot start.
  bool Start(std::string_view serverName);
  /// Stops accepting, closes every connection and gives up the name.
  void Stop();

 private:
  void AcceptClients();
  /// Runs the hello exchange with a new client and, when it succeeds, starts its connection.
  void Greet(platform::MessagePipe pipe);
  /// Drops the connections that have gone away, after their transport threads have finished.
  void DropClosedConnections();

  ServerListener& listener_;
  const ServerOptions options_;
  // Set by Start before the accept thread starts; used by it and by Stop after it ended.
  std::optional<platform::MessagePipeServer> pipeServer_;
  std::optional<platform::Event> stop_;              // ends the accept thread (manual reset)
  std::optional<platform::Event> connectionClosed_;  // a connection went away (auto-reset)
  std::vector<std::shared_ptr<ServerConnection>> connections_;
  std::thread acceptThread_;
};

}  // namespace IPC
