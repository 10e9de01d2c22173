#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/process_handle.h"
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

/// Handles passed to the process at the other end of a pipe with one message, which refers to
/// them by the references `Add` gives. On Windows each handle is duplicated into the peer process
/// (DuplicateHandle) and its reference is the value it has there, so the message itself carries
/// the handles; on POSIX the descriptors travel beside the message (SCM_RIGHTS) and a reference
/// is a descriptor's index among them. Duplicates that no sent message carried to the peer are
/// closed in the peer again when this object goes.
class PeerHandles {
 public:
  /// Handles for the process `peer`, which on Windows must be open with the right to duplicate
  /// handles into it.
  explicit PeerHandles(const ProcessHandle& peer);
  ~PeerHandles();
  PeerHandles(const PeerHandles&) = delete;
  PeerHandles& operator=(const PeerHandles&) = delete;

  /// The reference the peer will use for `handle`; nothing when the handle cannot be passed.
  /// `handle` stays open until the message has been sent.
  std::optional<int64_t> Add(const OwnedHandle& handle);

#ifndef _WIN32
  /// The descriptors that travel with the message, in the order of their references.
  const std::vector<const OwnedHandle*>& Carried() const { return carried_; }
#endif

 private:
  friend class MessagePipe;
#ifdef _WIN32
  OwnedHandle process_;               // a duplicate of the peer's process handle
  std::vector<intptr_t> duplicated_;  // the values in the peer, in the order added
  bool delivered_ = false;            // a sent message carried them to the peer
#else
  std::vector<const OwnedHandle*> carried_;
#endif
};

/// The handles that came with one message, taken by the references the message gives for them
/// (see PeerHandles): on Windows handle values in this process, on POSIX indexes into the
/// descriptors that arrived with the message. A reference is taken at most once; on POSIX the
/// descriptors nobody took are closed with this object, on Windows values nobody took are left
/// alone, since nothing tells whether the peer really duplicated them.
class ReceivedHandles {
 public:
  ReceivedHandles() = default;
#ifndef _WIN32
  explicit ReceivedHandles(std::vector<OwnedHandle> carried) : carried_(std::move(carried)) {}
  size_t CarriedCount() const { return carried_.size(); }
#endif

  /// The handle `reference` names, now owned by the caller; an invalid handle when it names
  /// none or was taken before.
  OwnedHandle Take(int64_t reference);

 private:
  std::set<int64_t> taken_;
#ifndef _WIN32
  std::vector<OwnedHandle> carried_;
#endif
};

/// One message read from a pipe, with the handles that came with it.
struct PipeMessage {
  std::vector<uint8_t> bytes;
  ReceivedHandles handles;
  /// True when the sender passed more descriptors than the receiver accepts (POSIX); the
  /// surplus is closed.
  bool handlesTruncated = false;
};

/// The id of the session the calling process runs in (ProcessIdToSessionId).
uint32_t CurrentSessionId();

struct PipeConnection;

/// Opens the client end of the pipe `name` (CreateFile on "\\.\pipe\" + name). When every
/// instance is busy it waits up to `busyWaitMs` for one (WaitNamedPipe) before giving up with
/// kBusy.
PipeConnection ConnectMessagePipe(const std::string& name, uint32_t busyWaitMs);

/// One connected end of a message-mode named pipe. Each Send arrives as one message, with the
/// handles of its PeerHandles. The pipe is signalled while a message waits to be received or
/// the other end has gone; a client end reads ahead, and so is signalled, only once a Receive
/// has started, so that a Transact finds no read under way.
class MessagePipe : public Waitable {
 public:
  MessagePipe(MessagePipe&&) = default;
  MessagePipe& operator=(MessagePipe&&) = default;

  /// Sends `bytes` as one message, together with `handles` when given.
  PipeStatus Send(std::span<const uint8_t> bytes, PeerHandles* handles = nullptr);
  /// Waits up to `timeoutMs` (kInfinite: without limit) for the next message of at most
  /// `maxBytes` bytes, accepting at most `maxHandles` handles with it.
  PipeStatus Receive(PipeMessage& message, size_t maxBytes, size_t maxHandles, uint32_t timeoutMs);
  /// Sends `request` (with `handles` when given) and receives the answer, as Send and Receive
  /// do. On Windows one TransactNamedPipe, overlapped, on a pipe without a read under way: an
  /// answer still pending after `timeoutMs` is cancelled (CancelIoEx) and gives kTimeout.
  PipeStatus Transact(std::span<const uint8_t> request, PeerHandles* handles, PipeMessage& answer,
                      size_t maxBytes, size_t maxHandles, uint32_t timeoutMs);

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
