#include "platform/message_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/clock.h"
#include "platform/machine.h"

// A named pipe is a Unix-domain SOCK_SEQPACKET socket named after the pipe in the runtime run
// folder: it keeps message boundaries like a message-mode pipe. Handles travel as descriptors
// with SCM_RIGHTS, and a message refers to each by its index among them. The process at the other
// end comes from SO_PEERCRED; its user id stands in for the Windows session, since a session
// separates the users of one machine. Connecting uses the socket's send time-out: while the
// server's backlog is full, connect() waits that long for room (WaitNamedPipe) and then fails with
// EAGAIN.

namespace platform {

namespace {

constexpr int kBacklog = 16;

std::string PipePath(const std::string& name) { return RuntimeRunFolder() + name; }

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

OwnedHandle NewSocket() { return OwnedHandle(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0)); }

int Fd(const OwnedHandle& handle) { return static_cast<int>(handle.Get()); }

std::optional<ucred> PeerCredentials(const OwnedHandle& handle) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(Fd(handle), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
      length != sizeof credentials) {
    return std::nullopt;
  }
  return credentials;
}

PipeStatus ConnectStatus(int error) {
  switch (error) {
    case ENOENT:
    case ECONNREFUSED:
    case ENOTDIR:
    case ENAMETOOLONG:
      return PipeStatus::kNotFound;
    case EAGAIN:
      return PipeStatus::kBusy;
    case EACCES:
    case EPERM:
      return PipeStatus::kAccessDenied;
    default:
      return PipeStatus::kFailed;
  }
}

// True when a live server accepts connections at `address`.
bool IsServed(const sockaddr_un& address) {
  OwnedHandle probe = NewSocket();
  return probe.IsValid() &&
         connect(Fd(probe), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void CollectHandles(msghdr& header, std::vector<OwnedHandle>& handles) {
  for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr;
       control = CMSG_NXTHDR(&header, control)) {
    if (control->cmsg_level != SOL_SOCKET || control->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (control->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(control) + i * sizeof(int), sizeof fd);
      handles.emplace_back(fd);
    }
  }
}

}  // namespace

PeerHandles::PeerHandles(const ProcessHandle&) {}

PeerHandles::~PeerHandles() = default;

std::optional<int64_t> PeerHandles::Add(const OwnedHandle& handle) {
  if (!handle.IsValid()) return std::nullopt;
  carried_.push_back(&handle);
  return static_cast<int64_t>(carried_.size() - 1);
}

OwnedHandle ReceivedHandles::Take(int64_t reference) {
  if (reference < 0 || reference >= static_cast<int64_t>(carried_.size()) ||
      !taken_.insert(reference).second) {
    return OwnedHandle();
  }
  return std::move(carried_[static_cast<size_t>(reference)]);
}

uint32_t CurrentSessionId() { return static_cast<uint32_t>(geteuid()); }

PipeConnection ConnectMessagePipe(const std::string& name, uint32_t busyWaitMs) {
  PipeConnection result;
  sockaddr_un address{};
  if (!MakeAddress(PipePath(name), address)) {
    result.status = PipeStatus::kNotFound;
    return result;
  }
  OwnedHandle handle = NewSocket();
  if (!handle.IsValid()) return result;
  // A zero time-out would mean no limit at all; the shortest wait is one millisecond.
  const uint32_t waitMs = std::max<uint32_t>(busyWaitMs, 1);
  timeval wait{};
  wait.tv_sec = static_cast<time_t>(waitMs / 1000);
  wait.tv_usec = static_cast<suseconds_t>(waitMs % 1000) * 1000;
  if (setsockopt(Fd(handle), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0) return result;
  if (connect(Fd(handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    result.status = ConnectStatus(errno);
    return result;
  }
  result.status = PipeStatus::kOk;
  result.pipe = MessagePipe(std::move(handle));
  return result;
}

PipeStatus MessagePipe::Send(std::span<const uint8_t> bytes, PeerHandles* peerHandles) {
  const std::span<const OwnedHandle* const> handles = peerHandles != nullptr
                                                          ? std::span(peerHandles->carried_)
                                                          : std::span<const OwnedHandle* const>();
  iovec data{const_cast<uint8_t*>(bytes.data()), bytes.size()};
  msghdr header{};
  header.msg_iov = &data;
  header.msg_iovlen = 1;
  std::vector<uint8_t> control;
  if (!handles.empty()) {
    control.resize(CMSG_SPACE(handles.size() * sizeof(int)));
    header.msg_control = control.data();
    header.msg_controllen = control.size();
    cmsghdr* rights = CMSG_FIRSTHDR(&header);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(handles.size() * sizeof(int));
    for (size_t i = 0; i < handles.size(); ++i) {
      const int fd = Fd(*handles[i]);
      std::memcpy(CMSG_DATA(rights) + i * sizeof(int), &fd, sizeof fd);
    }
  }
  for (;;) {
    if (sendmsg(Fd(handle_), &header, MSG_NOSIGNAL) >= 0) return PipeStatus::kOk;
    if (errno == EINTR) continue;
    return errno == EPIPE || errno == ECONNRESET ? PipeStatus::kBroken : PipeStatus::kFailed;
  }
}

PipeStatus MessagePipe::Receive(PipeMessage& message, size_t maxBytes, size_t maxHandles,
                                uint32_t timeoutMs) {
  message = PipeMessage{};
  pollfd descriptor{Fd(handle_), POLLIN, 0};
  const uint64_t start = TickCountMs();
  for (;;) {
    int remaining = -1;
    if (timeoutMs != kInfinite) {
      const uint64_t elapsed = TickCountMs() - start;
      remaining = elapsed >= timeoutMs
                      ? 0
                      : static_cast<int>(std::min<uint64_t>(timeoutMs - elapsed, INT_MAX));
    }
    const int ready = poll(&descriptor, 1, remaining);
    if (ready > 0) break;
    if (ready == 0) return PipeStatus::kTimeout;
    if (errno != EINTR) return PipeStatus::kFailed;
  }
  // One byte more than allowed tells an oversized message apart from one that fits exactly.
  message.bytes.resize(maxBytes + 1);
  iovec data{message.bytes.data(), message.bytes.size()};
  std::vector<uint8_t> control(CMSG_SPACE(std::max<size_t>(maxHandles, 1) * sizeof(int)));
  msghdr header{};
  header.msg_iov = &data;
  header.msg_iovlen = 1;
  header.msg_control = control.data();
  header.msg_controllen = control.size();
  const ssize_t received = recvmsg(Fd(handle_), &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (received < 0) {
    message.bytes.clear();
    return errno == ECONNRESET ? PipeStatus::kBroken : PipeStatus::kFailed;
  }
  std::vector<OwnedHandle> handles;
  CollectHandles(header, handles);
  message.handlesTruncated = (header.msg_flags & MSG_CTRUNC) != 0 || handles.size() > maxHandles;
  if (handles.size() > maxHandles) handles.resize(maxHandles);
  message.handles = ReceivedHandles(std::move(handles));
  message.bytes.resize(static_cast<size_t>(received));
  // A read of nothing from a hung-up socket is the end of the pipe, not an empty message.
  if (received == 0 && (descriptor.revents & POLLHUP) != 0) return PipeStatus::kBroken;
  if ((header.msg_flags & MSG_TRUNC) != 0 || message.bytes.size() > maxBytes) {
    message.bytes.resize(std::min(message.bytes.size(), maxBytes));
    return PipeStatus::kMoreData;
  }
  return PipeStatus::kOk;
}

PipeStatus MessagePipe::Transact(std::span<const uint8_t> request, PeerHandles* handles,
                                 PipeMessage& answer, size_t maxBytes, size_t maxHandles,
                                 uint32_t timeoutMs) {
  const PipeStatus sent = Send(request, handles);
  return sent == PipeStatus::kOk ? Receive(answer, maxBytes, maxHandles, timeoutMs) : sent;
}

std::optional<uint32_t> MessagePipe::PeerProcessId() const {
  const auto credentials = PeerCredentials(handle_);
  // A peer outside this process's pid namespace shows as 0.
  if (!credentials || credentials->pid <= 0) return std::nullopt;
  return static_cast<uint32_t>(credentials->pid);
}

std::optional<uint32_t> MessagePipe::PeerSessionId() const {
  const auto credentials = PeerCredentials(handle_);
  if (!credentials) return std::nullopt;
  return static_cast<uint32_t>(credentials->uid);
}

std::optional<MessagePipeServer> MessagePipeServer::Listen(const std::string& name) {
  const std::string path = PipePath(name);
  sockaddr_un address{};
  if (!MakeAddress(path, address)) return std::nullopt;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  OwnedHandle handle = NewSocket();
  if (!handle.IsValid()) return std::nullopt;
  const auto* raw = reinterpret_cast<const sockaddr*>(&address);
  if (bind(Fd(handle), raw, sizeof address) != 0) {
    // A name left behind by a server that ended is taken over; a live server keeps its name.
    if (errno != EADDRINUSE || IsServed(address) || unlink(path.c_str()) != 0 ||
        bind(Fd(handle), raw, sizeof address) != 0) {
      return std::nullopt;
    }
  }
  struct stat status {};
  const int flags = fcntl(Fd(handle), F_GETFL);
  if (stat(path.c_str(), &status) != 0 || flags < 0 ||
      fcntl(Fd(handle), F_SETFL, flags | O_NONBLOCK) != 0 || listen(Fd(handle), kBacklog) != 0) {
    unlink(path.c_str());
    return std::nullopt;
  }
  return MessagePipeServer(std::move(handle), path, status.st_dev, status.st_ino);
}

MessagePipeServer::~MessagePipeServer() {
  if (!handle_.IsValid()) return;
  struct stat status {};
  if (stat(path_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_) {
    unlink(path_.c_str());
  }
}

std::optional<MessagePipe> MessagePipeServer::Accept() {
  for (;;) {
    const int fd = accept4(Fd(handle_), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return MessagePipe(OwnedHandle(fd));
    if (errno != EINTR) return std::nullopt;
  }
}

}  // namespace platform
