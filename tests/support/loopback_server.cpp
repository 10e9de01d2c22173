#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

LoopbackServer::LoopbackServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  if (listener_ >= 0) close(listener_);
}

uint16_t LoopbackServer::ClosedPort() {
  const LoopbackServer gone;
  return gone.Port();
}

bool LoopbackServer::Accept(int timeoutMs) {
  CloseClient();
  pollfd pfd{listener_, POLLIN, 0};
  if (poll(&pfd, 1, timeoutMs) != 1) return false;
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client_ < 0) return false;
  // Small packets go out at once, so one send is one arrival as far as possible.
  const int on = 1;
  setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
}

bool LoopbackServer::Send(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(sent));
  }
  return true;
}

void LoopbackServer::CloseClient() {
  if (client_ < 0) return;
  close(client_);
  client_ = -1;
}

}  // namespace testsupport
