#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "ipc/protocol.h"
#include "ipc/transport_listener.h"

namespace IPC {

/// Hears that a client's connection went away.
class ClientListener {
 public:
  virtual ~ClientListener() = default;
  virtual void OnDisconnected() = 0;
};

/// How a client connects; the defaults are what the validator uses.
struct ConnectOptions {
  /// Accept a server of another session (by default both ends must share one).
  bool skipSessionCheck = false;
  /// Let the server create the section even when this side could.
  bool serverCreatesSection = false;
  /// How long to wait for a busy pipe.
  uint32_t busyWaitMs = 10000;
  /// How long to wait for the hello response.
  uint32_t helloTimeoutMs = 10000;
};

/// The client end of a connection to a named server.
class Client : private TransportListener, public Protocol {
 public:
  /// `listener` hears every disconnection; it must outlive the client.
  explicit Client(ClientListener& listener) : listener_(listener) {}
  ~Client() override;

  /// Connects to the server `serverName`, replacing any earlier connection. Returns the connect
  /// result (ConnectResult): 0 connected; 1 no such server, broken or busy beyond the wait;
  /// 2 hello response missing or invalid, or both or neither side created the section; 3 the
  /// hello exchange failed or timed out; 4 the server is in another session or cannot be
  /// identified, or refused the client (status 1); 5 the section or its handles could not be set
  /// up (either side; status 3); 6 access to the server denied.
  int32_t Connect(std::string_view serverName, const ConnectOptions& options = {});

  bool IsConnected() const { return connected_.load(); }
  /// The server's process id from the last successful Connect.
  uint32_t PeerProcessId() const { return peerProcessId_.load(); }

 private:
  uint8_t OnCall(int32_t channel, IpcBuffer& request, IpcBuffer& reply) override;
  void OnDisconnected() override;
  int32_t Handshake(std::string_view serverName, const ConnectOptions& options);

  ClientListener& listener_;
  std::mutex connectLock_;  // held by the one Connect in progress
  std::atomic<uint32_t> peerProcessId_{0};
  std::atomic<bool> connected_{false};
};

}  // namespace IPC
