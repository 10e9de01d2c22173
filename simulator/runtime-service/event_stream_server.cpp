#include "event_stream_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "events/packet_format.h"

namespace luxsim {

namespace {

constexpr uint32_t kInputEvents = EPOLLIN | EPOLLRDHUP;

}  // namespace

EventStreamServer::~EventStreamServer() {
  for (const auto& [fd, listener] : listeners_) loop_.Unwatch(fd);
  if (socket_.IsValid()) loop_.Unwatch(socket_.Get());
}

bool EventStreamServer::Listen(uint16_t port, std::string* error) {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int reuse = 1;
  socklen_t length = sizeof address;
  if (!socket.IsValid() ||
      setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
      bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(socket.Get(), 16) != 0 ||
      getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    *error = "cannot listen for realtime event listeners at 127.0.0.1:" + std::to_string(port) +
             ": " + std::strerror(errno);
    return false;
  }
  if (!loop_.Watch(socket.Get(), EPOLLIN, [this](uint32_t) { Accept(); })) {
    *error = "cannot watch the realtime event socket";
    return false;
  }
  socket_ = std::move(socket);
  port_ = ntohs(address.sin_port);
  return true;
}

void EventStreamServer::Accept() {
  for (;;) {
    UniqueFd socket(accept4(socket_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket.IsValid()) return;
    // Records are due at once; small packets must not wait for earlier ones to be acknowledged.
    const int noDelay = 1;
    setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const int fd = socket.Get();
    if (!loop_.Watch(fd, kInputEvents,
                     [this, fd](uint32_t events) { OnListenerEvents(fd, events); })) {
      continue;
    }
    listeners_[fd].socket = std::move(socket);
  }
}

void EventStreamServer::OnListenerEvents(int fd, uint32_t events) {
  const auto found = listeners_.find(fd);
  if (found == listeners_.end()) return;
  Listener& listener = found->second;
  const bool healthy =
      ((events & EPOLLOUT) == 0 || SendBacklog(listener)) &&
      ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) == 0 || DrainInput(listener));
  if (!healthy) Drop(fd);
}

void EventStreamServer::Flush() {
  const std::vector<LUX::Telemetry::TelemetryEvent> records = std::move(pending_);
  pending_.clear();
  if (records.empty() || listeners_.empty()) return;
  const std::span<const LUX::Telemetry::TelemetryEvent> all(records);
  for (size_t first = 0; first < all.size(); first += kMaxPacketRecords) {
    const auto chunk = all.subspan(first, std::min(kMaxPacketRecords, all.size() - first));
    const std::vector<std::byte> packet = LUX::Telemetry::EncodePacket(chunk);
    for (auto& [fd, listener] : listeners_) {
      if (!listener.backlog.Offer(packet, chunk.size())) droppedRecords_ += chunk.size();
    }
  }
  std::vector<int> failed;
  for (auto& [fd, listener] : listeners_) {
    if (!SendBacklog(listener)) failed.push_back(fd);
  }
  for (const int fd : failed) Drop(fd);
}

bool EventStreamServer::SendBacklog(Listener& listener) {
  while (!listener.backlog.Empty()) {
    const std::span<const std::byte> bytes = listener.backlog.Pending();
    const ssize_t sent = send(listener.socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      listener.backlog.Consume(static_cast<size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return false;
  }
  // Wait for room only while something waits to be sent.
  loop_.SetEvents(listener.socket.Get(),
                  kInputEvents | (listener.backlog.Empty() ? 0u : uint32_t{EPOLLOUT}));
  return true;
}

bool EventStreamServer::DrainInput(Listener& listener) {
  char buffer[512];
  for (;;) {
    const ssize_t count = recv(listener.socket.Get(), buffer, sizeof buffer, 0);
    if (count > 0) continue;
    if (count < 0 && errno == EINTR) continue;
    return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

void EventStreamServer::Drop(int fd) {
  loop_.Unwatch(fd);
  listeners_.erase(fd);
}

}  // namespace luxsim
