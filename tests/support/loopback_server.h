#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace testsupport {

/// A TCP server on 127.0.0.1 at a port the system picks, for one client at a time: it plays
/// the runtime's end of the event stream in tests and benchmarks.
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  /// A loopback port on which nothing listens: one the system handed out and took back.
  static uint16_t ClosedPort();

  /// The port to connect to; 0 when the server could not be set up.
  uint16_t Port() const { return port_; }
  /// Accepts the next client, waiting up to `timeoutMs`; false when none came.
  bool Accept(int timeoutMs = 5000);
  /// Sends all of `bytes` to the client; false when the connection failed.
  bool Send(std::span<const std::byte> bytes);
  /// Closes the connection to the client (the client sees the end of the stream).
  void CloseClient();

 private:
  int listener_ = -1;
  int client_ = -1;
  uint16_t port_ = 0;
};

}  // namespace testsupport
