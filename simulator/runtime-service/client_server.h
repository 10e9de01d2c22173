#pragma once

#include <map>
#include <memory>
#include <string>

#include "event_loop.h"
#include "protocol/unique_fd.h"
#include "request_router.h"
#include "session_registry.h"

namespace luxsim {

class ClientConnection;

/// True when a runtime service accepts connections at the socket `path`.
bool ServiceListensAt(const std::string& path);

/// Accepts client libraries on the service's Unix socket, reads their requests and hands them
/// to the router, and ends a client's sessions when it goes away.
class ClientServer {
 public:
  ClientServer(EventLoop& loop, RequestRouter& router, SessionRegistry& sessions);
  /// Closes every connection and removes the socket.
  ~ClientServer();
  ClientServer(const ClientServer&) = delete;
  ClientServer& operator=(const ClientServer&) = delete;

  /// Listens on `path`, replacing a socket left behind by a service that ended.
  bool Listen(const std::string& path, std::string* error);

 private:
  void Accept();
  void Disconnect(ClientId client);

  EventLoop& loop_;
  RequestRouter& router_;
  SessionRegistry& sessions_;
  UniqueFd listener_;
  std::string path_;
  std::map<ClientId, std::shared_ptr<ClientConnection>> connections_;
};

}  // namespace luxsim
