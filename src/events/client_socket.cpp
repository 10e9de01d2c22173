#include "events/client_socket.h"

#include <chrono>
#include <utility>

#include "events/packet_reader.h"
#include "platform/thread_description.h"

// The connection side of the listener: connecting, the receive thread, waking the event pump,
// teardown. The ring itself is in event_ring.cpp.

namespace LUX::Telemetry {

TClientSocket::TClientSocket(Clock clock) : clock_(std::move(clock)), slots_(kSlotCount) {}

TClientSocket::~TClientSocket() {
  std::lock_guard connection(connectionLock_);
  running_ = false;
  // Shutting the socket down wakes the receive thread at once instead of after its wait.
  socket_.Shutdown();
  if (receiveThread_.joinable()) receiveThread_.join();
  socket_.Close();
}

bool TClientSocket::Connect(uint16_t port, bool suppressOutOfOrderReports) {
  suppressOutOfOrderReports_ = suppressOutOfOrderReports;
  std::lock_guard connection(connectionLock_);
  if (running_) {
    errors_.Add(kConnectionError, "Client connection already active");
    return false;
  }
  if (!socket_.Create()) {
    errors_.Add(kConnectionError, "Unable to create socket");
    return false;
  }
  if (!socket_.ConnectLoopback(port)) {
    errors_.Add(kConnectionError, "Unable to connect to server");
    socket_.Close();
    return false;
  }
  if (socket_.ReceiveBufferSize() < kMinimumReceiveBufferBytes) {
    socket_.SetReceiveBufferSize(kMinimumReceiveBufferBytes);
    if (socket_.ReceiveBufferSize() < kMinimumReceiveBufferBytes) {
      errors_.Add(kConnectionError, "Unable to increase receive buffer size.");
    }
  }
  running_ = true;
  receiving_ = true;
  receiveThread_ = std::thread(&TClientSocket::ReceiveLoop, this);
  return true;
}

void TClientSocket::ReceiveLoop() {
  platform::SetCurrentThreadDescription("TClientSocket");
  PacketReader reader;
  const PacketReader::RecordSink enqueue = [this](const TelemetryEvent& record) {
    Enqueue(record);
  };
  while (running_) {
    const platform::SocketWait wait = socket_.WaitReadable(kReceiveWaitMs);
    if (wait == platform::SocketWait::kError) {
      errors_.Add(kConnectionError, "Connection terminated abnormally");
      break;
    }
    if (wait == platform::SocketWait::kTimeout) continue;
    const std::span<std::byte> space = reader.FreeSpace();
    // A full buffer holds the start of a packet that can never complete; a receive of zero
    // bytes reads like a closed connection, so the stream ends here without an error.
    if (space.empty()) break;
    const int64_t received = socket_.Receive(space.data(), space.size());
    if (received == 0) break;
    if (received < 0) {
      errors_.Add(kConnectionError, "Error when receiving data");
      break;
    }
    if (!reader.Commit(static_cast<size_t>(received), enqueue)) {
      errors_.Add(kConnectionError, "Malformed packet");
    }
  }
  receiving_ = false;
}

bool TClientSocket::WaitForEvents(int32_t timeoutMs) {
  std::unique_lock wait(waitLock_);
  const auto ready = [this] { return dataReady_.load(); };
  if (timeoutMs < 0) {
    dataReadyCondition_.wait(wait, ready);
  } else if (timeoutMs > 0) {
    dataReadyCondition_.wait_for(wait, std::chrono::milliseconds(timeoutMs), ready);
  }
  return dataReady_.exchange(false);
}

void TClientSocket::SignalDataReady() {
  {
    std::lock_guard wait(waitLock_);
    dataReady_ = true;
  }
  dataReadyCondition_.notify_all();
}

}  // namespace LUX::Telemetry
