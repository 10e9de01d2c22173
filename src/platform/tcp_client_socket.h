#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

/// What waiting for a socket to become readable ended with (select on one socket).
enum class SocketWait { kReadable, kTimeout, kError };

/// A TCP client socket to the IPv4 loopback address with the meaning of a Winsock 2.2 socket:
/// created, connected, its receive buffer sized, read after a bounded wait for data, shut down
/// and closed. On Windows creation starts Winsock (WSAStartup 2.2) and closing ends it
/// (WSACleanup) when the start-up succeeded; POSIX needs neither. The destructor closes it.
///
/// One thread may wait on and receive from the socket while another calls `Shutdown`; `Close`
/// must not run while another thread still uses the socket.
class TcpClientSocket {
 public:
  TcpClientSocket() = default;
  ~TcpClientSocket();
  TcpClientSocket(const TcpClientSocket&) = delete;
  TcpClientSocket& operator=(const TcpClientSocket&) = delete;

  /// Creates a blocking stream socket (AF_INET, SOCK_STREAM, IPPROTO_TCP). False on failure.
  bool Create();
  /// Connects to 127.0.0.1 at `port`; true when the connection is made (or, on a non-blocking
  /// socket, under way).
  bool ConnectLoopback(uint16_t port);
  /// The socket's receive buffer size in bytes (SO_RCVBUF); 0 when it cannot be read.
  int ReceiveBufferSize() const;
  /// Asks for a receive buffer of `bytes`; the system may round the size it grants.
  bool SetReceiveBufferSize(int bytes);
  /// Waits up to `timeoutMs` milliseconds until data, the end of the stream or an error can be
  /// received.
  SocketWait WaitReadable(int timeoutMs) const;
  /// Receives at most `capacity` bytes into `buffer`: the count received, 0 when the peer has
  /// closed the connection, -1 on an error.
  int64_t Receive(std::byte* buffer, size_t capacity) const;
  /// Shuts both directions down. A thread waiting on the socket wakes and sees the end of the
  /// stream.
  void Shutdown() const;
  /// Shuts both directions down and releases the socket; does nothing when none is open.
  void Close();
  bool IsOpen() const { return handle_ != kNoSocket; }

 private:
  static constexpr intptr_t kNoSocket = -1;
  intptr_t handle_ = kNoSocket;
#ifdef _WIN32
  // Set by Shutdown: Winsock's select does not wake for a shutdown made by another thread, so
  // the wait looks at this between short slices.
  mutable std::atomic<bool> shutDown_{false};
#endif
};

}  // namespace platform
