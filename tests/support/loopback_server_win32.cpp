#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/loopback_server.h"

// Winsock stays started while the server lives; socket handles fit the int members.

namespace testsupport {

namespace {

SOCKET Native(int socket) { return static_cast<SOCKET>(socket); }

}  // namespace

LoopbackServer::LoopbackServer() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return;
  listener_ = static_cast<int>(listener);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 4) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  if (listener_ >= 0) closesocket(Native(listener_));
  WSACleanup();
}

uint16_t LoopbackServer::ClosedPort() {
  const LoopbackServer gone;
  return gone.Port();
}

bool LoopbackServer::Accept(int timeoutMs) {
  CloseClient();
  WSAPOLLFD pending{Native(listener_), POLLRDNORM, 0};
  if (WSAPoll(&pending, 1, timeoutMs) != 1) return false;
  const SOCKET client = accept(Native(listener_), nullptr, nullptr);
  if (client == INVALID_SOCKET) return false;
  client_ = static_cast<int>(client);
  // Small packets go out at once, so one send is one arrival as far as possible.
  const BOOL on = TRUE;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return true;
}

bool LoopbackServer::Send(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const int sent = send(Native(client_), reinterpret_cast<const char*>(bytes.data()),
                          static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(sent));
  }
  return true;
}

void LoopbackServer::CloseClient() {
  if (client_ < 0) return;
  closesocket(Native(client_));
  client_ = -1;
}

}  // namespace testsupport
