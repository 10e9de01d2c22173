#include "client_server.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "protocol/framing.h"
#include "protocol/messages.h"
#include "protocol/unix_socket_address.h"

namespace luxsim {

/// One client library's connection: reads its requests, writes the answers in order.
class ClientConnection : public std::enable_shared_from_this<ClientConnection> {
 public:
  using Closed = std::function<void(ClientId)>;

  ClientConnection(EventLoop& loop, const RequestRouter& router, UniqueFd socket,
                   RequestContext context, Closed closed)
      : loop_(loop),
        router_(router),
        socket_(std::move(socket)),
        context_(context),
        closed_(std::move(closed)) {}

  ~ClientConnection() { loop_.Unwatch(socket_.Get()); }

  bool Start() {
    std::weak_ptr<ClientConnection> self = weak_from_this();
    return loop_.Watch(socket_.Get(), EPOLLIN | EPOLLRDHUP, [self](uint32_t events) {
      if (const auto connection = self.lock()) connection->OnEvents(events);
    });
  }

  void Send(const Json::Value& message) {
    if (finished_) return;
    output_ += EncodeFrame(message);
    Flush();
  }

 private:
  void OnEvents(uint32_t events) {
    if ((events & EPOLLOUT) != 0) Flush();
    if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) Read();
  }

  void Read() {
    char buffer[8192];
    for (;;) {
      const ssize_t count = recv(socket_.Get(), buffer, sizeof buffer, 0);
      if (count > 0) {
        decoder_.Append(buffer, static_cast<size_t>(count));
        continue;
      }
      if (count < 0 && errno == EINTR) continue;
      if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      Finish();  // the client went away
      break;
    }
    while (!finished_) {
      std::optional<Json::Value> request = decoder_.Next();
      if (!request) break;
      Handle(*request);
    }
    if (decoder_.Failed()) Finish();
  }

  void Handle(const Json::Value& request) {
    std::weak_ptr<ClientConnection> self = weak_from_this();
    const Json::Value id = request[key::kId];
    router_.Dispatch(context_, request, [self, id](Json::Value answer) {
      const auto connection = self.lock();
      if (!connection) return;
      answer[key::kId] = id;
      if (!answer.isMember(key::kResult)) answer[key::kResult] = luxSuccess;
      connection->Send(answer);
    });
  }

  void Flush() {
    while (!output_.empty()) {
      const ssize_t count = send(socket_.Get(), output_.data(), output_.size(), MSG_NOSIGNAL);
      if (count > 0) {
        output_.erase(0, static_cast<size_t>(count));
        continue;
      }
      if (count < 0 && errno == EINTR) continue;
      if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      Finish();
      return;
    }
    loop_.SetEvents(socket_.Get(), EPOLLIN | EPOLLRDHUP | (output_.empty() ? 0u : EPOLLOUT));
  }

  // Ends the connection once the current events are dispatched.
  void Finish() {
    if (finished_) return;
    finished_ = true;
    loop_.Defer([closed = closed_, client = context_.client] { closed(client); });
  }

  EventLoop& loop_;
  const RequestRouter& router_;
  UniqueFd socket_;
  const RequestContext context_;
  Closed closed_;
  FrameDecoder decoder_;
  std::string output_;
  bool finished_ = false;
};

bool ServiceListensAt(const std::string& path) {
  sockaddr_un address{};
  if (!MakeUnixSocketAddress(path, &address)) return false;
  UniqueFd probe(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return probe.IsValid() &&
         connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

ClientServer::ClientServer(EventLoop& loop, RequestRouter& router, SessionRegistry& sessions)
    : loop_(loop), router_(router), sessions_(sessions) {}

ClientServer::~ClientServer() {
  for (const auto& [client, connection] : connections_) sessions_.RemoveClient(client);
  connections_.clear();
  if (listener_.IsValid()) {
    loop_.Unwatch(listener_.Get());
    unlink(path_.c_str());
  }
}

bool ClientServer::Listen(const std::string& path, std::string* error) {
  sockaddr_un address{};
  if (!MakeUnixSocketAddress(path, &address)) {
    *error = "the socket path " + path + " is too long";
    return false;
  }
  unlink(path.c_str());
  UniqueFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listener.IsValid() ||
      bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.Get(), 16) != 0) {
    *error = "cannot listen at " + path + ": " + std::strerror(errno);
    return false;
  }
  listener_ = std::move(listener);
  path_ = path;
  return loop_.Watch(listener_.Get(), EPOLLIN, [this](uint32_t) { Accept(); });
}

void ClientServer::Accept() {
  for (;;) {
    UniqueFd socket(accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket.IsValid()) return;
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(socket.Get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) continue;
    const Client& client = sessions_.AddClient(static_cast<uint32_t>(credentials.pid));
    const RequestContext context{client.id, client.pid};
    auto connection = std::make_shared<ClientConnection>(loop_, router_, std::move(socket), context,
                                                         [this](ClientId id) { Disconnect(id); });
    if (!connection->Start()) {
      sessions_.RemoveClient(client.id);
      continue;
    }
    connections_.emplace(context.client, std::move(connection));
  }
}

void ClientServer::Disconnect(ClientId client) {
  sessions_.RemoveClient(client);
  connections_.erase(client);
}

}  // namespace luxsim
