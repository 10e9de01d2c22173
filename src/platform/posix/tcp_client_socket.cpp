#include "platform/tcp_client_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

TcpClientSocket::~TcpClientSocket() { Close(); }

bool TcpClientSocket::Create() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool TcpClientSocket::ConnectLoopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int result;
  do {
    result =
        connect(Descriptor(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  // EINPROGRESS is the POSIX form of WSAEWOULDBLOCK.
  return result == 0 || errno == EINPROGRESS;
}

int TcpClientSocket::ReceiveBufferSize() const {
  int size = 0;
  socklen_t length = sizeof size;
  if (getsockopt(Descriptor(handle_), SOL_SOCKET, SO_RCVBUF, &size, &length) != 0) return 0;
  return size;
}

bool TcpClientSocket::SetReceiveBufferSize(int bytes) {
  return setsockopt(Descriptor(handle_), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

SocketWait TcpClientSocket::WaitReadable(int timeoutMs) const {
  pollfd pfd{Descriptor(handle_), POLLIN, 0};
  int result;
  do {
    result = poll(&pfd, 1, timeoutMs);
  } while (result < 0 && errno == EINTR);
  if (result < 0 || (pfd.revents & POLLNVAL) != 0) return SocketWait::kError;
  return result == 0 ? SocketWait::kTimeout : SocketWait::kReadable;
}

int64_t TcpClientSocket::Receive(std::byte* buffer, size_t capacity) const {
  ssize_t count;
  do {
    count = recv(Descriptor(handle_), buffer, capacity, 0);
  } while (count < 0 && errno == EINTR);
  return count < 0 ? -1 : count;
}

void TcpClientSocket::Shutdown() const {
  if (IsOpen()) shutdown(Descriptor(handle_), SHUT_RDWR);
}

void TcpClientSocket::Close() {
  if (!IsOpen()) return;
  Shutdown();
  close(Descriptor(handle_));
  handle_ = kNoSocket;
}

}  // namespace platform
