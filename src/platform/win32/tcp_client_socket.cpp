#include "platform/tcp_client_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

// A Winsock 2.2 socket. Winsock is started for every socket that is created (WSAStartup counts
// its callers) and ended when that socket closes, so the start-up and the socket live together.

namespace platform {

namespace {

SOCKET Native(intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

TcpClientSocket::~TcpClientSocket() { Close(); }

bool TcpClientSocket::Create() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const SOCKET created = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (created == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    WSACleanup();
    WSASetLastError(error);
    return false;
  }
  handle_ = static_cast<intptr_t>(created);
  shutDown_ = false;
  return true;
}

bool TcpClientSocket::ConnectLoopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(Native(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return true;
  }
  return WSAGetLastError() == WSAEWOULDBLOCK;
}

int TcpClientSocket::ReceiveBufferSize() const {
  int size = 0;
  int length = sizeof size;
  if (getsockopt(Native(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length) !=
      0) {
    return 0;
  }
  return size;
}

bool TcpClientSocket::SetReceiveBufferSize(int bytes) {
  return setsockopt(Native(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                    sizeof bytes) == 0;
}

SocketWait TcpClientSocket::WaitReadable(int timeoutMs) const {
  // Short slices, so that a shutdown by another thread ends the wait within one of them.
  constexpr int kSliceMs = 50;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (shutDown_) return SocketWait::kReadable;
    const auto elapsed = static_cast<int>(GetTickCount64() - start);
    const int slice =
        timeoutMs < 0 ? kSliceMs : std::min(kSliceMs, std::max(timeoutMs - elapsed, 0));
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(handle_), &readable);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(Native(handle_), &failed);
    timeval limit{slice / 1000, (slice % 1000) * 1000};
    const int result = select(0, &readable, nullptr, &failed, &limit);
    if (result == SOCKET_ERROR) return SocketWait::kError;
    if (result > 0) return SocketWait::kReadable;
    if (timeoutMs >= 0 && elapsed + slice >= timeoutMs) return SocketWait::kTimeout;
  }
}

int64_t TcpClientSocket::Receive(std::byte* buffer, size_t capacity) const {
  if (shutDown_) return 0;  // the end of the stream, as after a shutdown on POSIX
  const int count = recv(Native(handle_), reinterpret_cast<char*>(buffer),
                         static_cast<int>(std::min<size_t>(capacity, INT_MAX)), 0);
  return count == SOCKET_ERROR ? -1 : count;
}

void TcpClientSocket::Shutdown() const {
  if (!IsOpen()) return;
  shutdown(Native(handle_), SD_BOTH);
  shutDown_ = true;
}

void TcpClientSocket::Close() {
  if (!IsOpen()) return;
  Shutdown();
  closesocket(Native(handle_));
  handle_ = kNoSocket;
  WSACleanup();
}

}  // namespace platform
