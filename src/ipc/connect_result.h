#pragma once

#include <cstdint>

namespace IPC {

/// Result of connecting a client to a server.
enum ConnectResult : int32_t {
  kConnected = 0,
  kConnectPipeUnavailable = 1,    // no such pipe, broken, or busy beyond the wait
  kConnectHandshakeInvalid = 2,   // hello response missing, invalid, or the section disputed
  kConnectTransactionFailed = 3,  // the hello exchange failed or timed out
  kConnectRefused = 4,            // other session, unknown server process, or status 1
  kConnectSetupFailed = 5,        // section or handle setup failed, or status 3
  kConnectAccessDenied = 6,       // access to the pipe denied
};

}  // namespace IPC
