#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/unix_socket_address.h"
#include "service_connection.h"

namespace luxsim {

std::unique_ptr<ServiceConnection> ServiceConnection::Connect(const std::string& path,
                                                              std::string* error) {
  sockaddr_un address;
  if (!MakeUnixSocketAddress(path, &address)) {
    *error = "the socket path is too long";
    return nullptr;
  }
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.IsValid() ||
      connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<ServiceConnection>(std::move(socket));
}

bool ServiceConnection::SendAll(const std::string& bytes, std::string* error) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count =
        send(socket_.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      *error = std::string("the runtime service connection failed: ") + std::strerror(errno);
      return false;
    }
    sent += static_cast<size_t>(count);
  }
  return true;
}

size_t ServiceConnection::ReceiveSome(char* buffer, size_t size, std::string* error) {
  for (;;) {
    pollfd pending{socket_.Get(), POLLIN, 0};
    const int ready = poll(&pending, 1, kAnswerTimeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      *error = "the runtime service did not answer";
      return 0;
    }
    const ssize_t count = ready > 0 ? recv(socket_.Get(), buffer, size, 0) : -1;
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      *error = "the runtime service closed the connection";
      return 0;
    }
    return static_cast<size_t>(count);
  }
}

}  // namespace luxsim
