#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "ipc/connection_resources.h"
#include "ipc/ipc_buffer.h"
#include "ipc/ring.h"
#include "ipc/transport_listener.h"
#include "platform/event.h"
#include "platform/process_handle.h"
#include "platform/waitable.h"

namespace IPC {

/// One side of a connection: the rings of every channel in the shared section, and one
/// transport thread that waits for incoming calls on every channel, for the peer's exit and for
/// the stop event, and serves the calls one at a time.
///
/// A transport is created unconnected; Start connects it. It disconnects when the peer process
/// ends, when either side sets the connection's stop event, when a ring fails, or on Close;
/// then the thread sets the stop event (so the peer disconnects too), wakes every waiting
/// caller and calls the listener's OnDisconnected.
class Transport {
 public:
  using CallWriter = std::function<bool(IpcBuffer&)>;
  using ReplyReader = std::function<uint8_t(IpcBuffer&)>;

  explicit Transport(TransportListener& listener);
  /// Closes the transport. Must not run on the transport thread (inside a call or
  /// OnDisconnected of this transport).
  ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  /// Starts serving the connection over `resources`. `createdSection` tells whether this side
  /// created them, which decides the roles of the rings. When `peer` is given, its exit ends
  /// the connection. False when the transport thread cannot start.
  bool Start(ConnectionResources resources, bool createdSection,
             std::optional<platform::ProcessHandle> peer);

  bool IsConnected() const { return connected_.load(std::memory_order_acquire); }
  int32_t ChannelCount() const { return static_cast<int32_t>(channels_.size()); }

  /// Makes one call on `channel`: writes the call kind and then what `writeCall` writes into the
  /// outgoing-call ring, waits for the whole reply and hands its return data to `readReply`.
  /// Returns the call status: 1 when not connected or the connection fails meanwhile, 4 for a
  /// channel out of range, 2 when `writeCall` fails, 6 for a malformed reply, the callee's
  /// status for a failure reply, else what `readReply` returns. Calls on one channel take turns.
  /// A call that has not got its reply `timeoutMs` after it began closes the connection and
  /// returns kCallTimedOut; it waits for its turn without a limit, but a call before it with a
  /// time limit keeps the turn no longer than that.
  uint8_t Call(int32_t channel, const CallWriter& writeCall, const ReplyReader& readReply,
               uint32_t timeoutMs = platform::kInfinite);

  /// Ends the connection and waits for the transport thread. From the transport thread itself
  /// it only starts the disconnection.
  void Close();

 private:
  struct Channel;

  void Run();
  /// Serves every complete call waiting on `channel`; false when a ring failed or stopped.
  bool ServeIncomingCalls(Channel& channel, int32_t index);
  /// Answers one call message.
  bool Answer(Channel& channel, int32_t index, IpcBuffer& request);
  /// Ends a call whose ring wait on `ring` came back empty-handed: a failed ring or a passed
  /// `deadline` closes the connection. Returns the call's status.
  uint8_t EndInterruptedCall(const RingCommon& ring, uint64_t deadline);

  TransportListener& listener_;
  // Set by Start before the thread starts and before `connected_`; read-only afterwards.
  std::unique_ptr<ConnectionResources> resources_;
  std::optional<platform::ProcessHandle> peer_;
  std::optional<platform::Event> closing_;  // this side's own stop signal (manual reset)
  std::vector<platform::Waitable*> stopSignals_;
  std::vector<std::unique_ptr<Channel>> channels_;
  std::atomic<bool> connected_{false};
  std::mutex threadLock_;  // guards thread_ (starting and joining it)
  std::thread thread_;
};

}  // namespace IPC
