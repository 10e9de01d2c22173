#include "service_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/messages.h"

namespace luxsim {

namespace {

// How long the service may take to answer one request.
constexpr int kAnswerTimeoutMs = 10000;

}  // namespace

std::unique_ptr<ServiceConnection> ServiceConnection::Connect(const std::string& path,
                                                              std::string* error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error = "the socket path is too long";
    return nullptr;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.IsValid() ||
      connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<ServiceConnection>(std::move(socket));
}

std::optional<Json::Value> ServiceConnection::Call(Json::Value request, std::string* error) {
  std::lock_guard lock(mutex_);
  const uint64_t id = nextId_++;
  request[key::kId] = Json::UInt64(id);
  if (!SendAll(EncodeFrame(request), error)) return std::nullopt;
  return Receive(id, error);
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

std::optional<Json::Value> ServiceConnection::Receive(uint64_t id, std::string* error) {
  for (;;) {
    while (std::optional<Json::Value> message = decoder_.Next()) {
      if ((*message)[key::kId].asUInt64() == id) return message;
    }
    if (decoder_.Failed()) {
      *error = "the runtime service sent a malformed message";
      return std::nullopt;
    }
    pollfd pending{socket_.Get(), POLLIN, 0};
    const int ready = poll(&pending, 1, kAnswerTimeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      *error = "the runtime service did not answer";
      return std::nullopt;
    }
    char buffer[4096];
    const ssize_t count = ready > 0 ? recv(socket_.Get(), buffer, sizeof buffer, 0) : -1;
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      *error = "the runtime service closed the connection";
      return std::nullopt;
    }
    decoder_.Append(buffer, static_cast<size_t>(count));
  }
}

}  // namespace luxsim
