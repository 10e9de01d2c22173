#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/waitable.h"

namespace platform {

/// Outcome of an operation on a message pipe.
enum class PipeStatus {
  kOk,
  kNotFound,      // no pipe of that name, or nobody serves it
  kBusy,          // every instance stayed busy for the whole wait
  kAccessDenied,  // the caller may not open the pipe
  kBroken,        // the other end has gone
  kTimeout,       // nothing arrived in time
  kMoreData,      // the message was larger than the room given for it
  kFailed,        // any other failure
};

/// One message read from a pipe, with the handles that travelled with it.
struct PipeMessage {
  std::vector<uint8_t> bytes;
  std::vector<OwnedHandle> handles;
  /// True when the sender passed more handles than the receiver accepts; the surplus is closed.
  bool handlesTruncated = false;
};

/// The id of the session the calling process runs in (ProcessIdToSessionId).
uint32_t CurrentSessionId();

struct PipeConnection;

/// Opens the client end of the pipe `name` (CreateFile on "\\.\pipe\" + name). When every
/// instance is busy it waits up to `busyWaitMs` for one (WaitNamedPipe) before giving up with
/// kBusy.
PipeConnection ConnectMessagePipe(const std::string& name, uint32_t busyWaitMs);

/// One connected end of a message-mode named pipe. Each Send arrives as one message. Handles
/// sent with a message are duplicated into the receiving process; they arrive in the order they
/// were given, so a message can refer to a handle by its index in that list. The pipe is
/// signalled while a message waits to be received or the other end has gone.
class MessagePipe : public Waitable {
 public:
  MessagePipe(MessagePipe&&) = default;
  MessagePipe& operator=(MessagePipe&&) = default;

  /// Sends `bytes` as one message together with `handles`.
  PipeStatus Send(std::span<const uint8_t> bytes, std::span<const OwnedHandle* const> handles = {});
  /// Waits up to `timeoutMs` (kInfinite: without limit) for the next message of at most
  /// `maxBytes` bytes, accepting at most `maxHandles` handles with it.
  PipeStatus Receive(PipeMessage& message, size_t maxBytes, size_t maxHandles, uint32_t timeoutMs);

  /// The id of the process at the other end (GetNamedPipeServerProcessId or
  /// GetNamedPipeClientProcessId); nothing when it cannot be read.
  std::optional<uint32_t> PeerProcessId() const;
  /// The session of the process at the other end (GetNamedPipeServerSessionId or
  /// GetNamedPipeClientSessionId); nothing when it cannot be read.
  std::optional<uint32_t> PeerSessionId() const;

 private:
  friend class MessagePipeServer;
  friend PipeConnection ConnectMessagePipe(const std::string& name, uint32_t busyWaitMs);
#ifdef _WIN32
  // The pipe with its read-ahead, at a fixed address while overlapped I/O uses it.
  struct End;
  explicit MessagePipe(std::shared_ptr<End> end) : end_(std::move(end)) {}
  intptr_t WaitHandle() const override;

  std::shared_ptr<End> end_;
#else
  explicit MessagePipe(OwnedHandle handle) : handle_(std::move(handle)) {}
  intptr_t WaitHandle() const override { return handle_.Get(); }

  OwnedHandle handle_;
#endif
};

/// Result of connecting to a pipe.
struct PipeConnection {
  PipeStatus status = PipeStatus::kFailed;
  std::optional<MessagePipe> pipe;  // set when status is kOk
};

/// The server side of the pipe `name`: signalled while a client waits to be accepted.
class MessagePipeServer : public Waitable {
 public:
  /// Starts serving the pipe `name`; nothing when it cannot, e.g. because another live server
  /// already serves it.
  static std::optional<MessagePipeServer> Listen(const std::string& name);

  MessagePipeServer(MessagePipeServer&&) = default;
  MessagePipeServer& operator=(MessagePipeServer&&) = default;
  ~MessagePipeServer() override;

  /// The next waiting client (ConnectNamedPipe); nothing when none is waiting.
  std::optional<MessagePipe> Accept();

 private:
#ifdef _WIN32
  // The pipe instance that waits for the next client, with its pending connection.
  struct Listener;
  explicit MessagePipeServer(std::shared_ptr<Listener> listener) : listener_(std::move(listener)) {}
  intptr_t WaitHandle() const override;

  std::shared_ptr<Listener> listener_;
#else
  MessagePipeServer(OwnedHandle handle, std::string path, uint64_t device, uint64_t inode)
      : handle_(std::move(handle)), path_(std::move(path)), device_(device), inode_(inode) {}
  intptr_t WaitHandle() const override { return handle_.Get(); }

  OwnedHandle handle_;
  std::string path_;  // where the pipe's name lives, removed again by the destructor
  uint64_t device_;   // identity of the name this server created, so that the destructor
  uint64_t inode_;    // leaves alone a name that a later server has taken over
#endif
};

}  // namespace platform
