#pragma once

#include <cstdint>

#include "ipc/ipc_buffer.h"

namespace IPC {

/// Receives what arrives on a transport.
class TransportListener {
 public:
  virtual ~TransportListener() = default;
  /// An incoming call on `channel`: `request` stands after the call kind, `reply` after the
  /// reply's status byte, ready for the return data. Returns the call status.
  virtual uint8_t OnCall(int32_t channel, IpcBuffer& request, IpcBuffer& reply) = 0;
  /// The connection has gone away (once per transport).
  virtual void OnDisconnected() = 0;
};

}  // namespace IPC
