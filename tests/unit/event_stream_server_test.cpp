#include "event_stream_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "events/client_socket.h"
#include "support/telemetry_records.h"
#include "support/wait_until.h"

// The network end of the simulated runtime's realtime event stream, with real loopback
// connections.

namespace luxsim {
namespace {

using namespace std::chrono_literals;
using LUX::Telemetry::TelemetryEvent;
using testsupport::MakeRecord;

// Runs `loop` for `duration`.
void RunFor(EventLoop& loop, std::chrono::milliseconds duration) {
  loop.AddTimer(duration, 0ms, [&loop] { loop.Stop(); });
  ASSERT_TRUE(loop.Run());
}

// Runs `loop` until `condition` holds, at most 5 s; returns whether it held.
bool RunUntil(EventLoop& loop, const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition() && std::chrono::steady_clock::now() < deadline) RunFor(loop, 5ms);
  return condition();
}

// A plain TCP client of the stream.
class RawListener {
 public:
  explicit RawListener(uint16_t port, int receiveBufferBytes = 0)
      : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (receiveBufferBytes > 0) {
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    }
    timeval timeout{5, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawListener() { Close(); }

  bool Connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  // Reads exactly `count` bytes; false at the end of the stream or after 5 s.
  bool ReadExactly(void* into, size_t count) {
    auto* bytes = static_cast<char*>(into);
    while (count > 0) {
      const ssize_t got = recv(fd_, bytes, count, 0);
      if (got <= 0) return false;
      bytes += got;
      count -= static_cast<size_t>(got);
    }
    return true;
  }

  // Reads one packet: its records, or nothing when the stream failed.
  std::optional<std::vector<TelemetryEvent>> ReadPacket() {
    uint64_t header[2];
    if (!ReadExactly(header, sizeof header)) return std::nullopt;
    EXPECT_EQ(header[0], 16 + 112 * header[1]);
    std::vector<TelemetryEvent> records(header[1]);
    if (!ReadExactly(records.data(), sizeof(TelemetryEvent) * records.size())) return std::nullopt;
    return records;
  }

 private:
  int fd_;
  bool connected_ = false;
};

TEST(EventStreamServer, RecordsOfOneTurnGoOutInOrderInPacketsOfAtMost128) {
  EventLoop loop;
  EventStreamServer server(loop);
  std::string error;
  ASSERT_TRUE(server.Listen(0, &error)) << error;
  ASSERT_NE(server.Port(), 0);
  RawListener listener(server.Port());
  ASSERT_TRUE(listener.Connected());
  ASSERT_TRUE(RunUntil(loop, [&] { return server.ListenerCount() == 1; }));

  loop.AddTimer(1ms, 0ms, [&] {
    for (uint32_t i = 0; i < 300; ++i) server.Post(MakeRecord(33, i, 1.0 + i));
  });
  RunFor(loop, 20ms);
  std::vector<size_t> sizes;
  uint32_t next = 0;
  while (next < 300) {
    const std::optional<std::vector<TelemetryEvent>> packet = listener.ReadPacket();
    ASSERT_TRUE(packet.has_value());
    sizes.push_back(packet->size());
    for (const TelemetryEvent& record : *packet) {
      EXPECT_EQ(LUX::Telemetry::EventProcessId(record), next);
      EXPECT_DOUBLE_EQ(record.timestamp, 1.0 + next);
      ++next;
    }
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{128, 128, 44}));
}

TEST(EventStreamServer, TheValidatorsListenerReadsTheStream) {
  EventLoop loop;
  EventStreamServer server(loop);
  std::string error;
  ASSERT_TRUE(server.Listen(0, &error)) << error;
  // Every record is old enough to be delivered at once.
  LUX::Telemetry::TClientSocket listener([] { return 1000.0; });
  ASSERT_TRUE(listener.Connect(server.Port(), true));
  ASSERT_TRUE(RunUntil(loop, [&] { return server.ListenerCount() == 1; }));
  for (int turn = 0; turn < 3; ++turn) {
    for (uint32_t i = 0; i < 100; ++i) server.Post(MakeRecord(14, turn * 100 + i, 5.0));
    RunFor(loop, 1ms);
  }
  ASSERT_TRUE(testsupport::WaitUntil([&] { return listener.Counters().recordsReceived == 300; }));
  std::vector<uint32_t> received;
  listener.ProcessEvents(
      [&](TelemetryEvent** events, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
          received.push_back(LUX::Telemetry::EventProcessId(*events[i]));
        }
      },
      0);
  ASSERT_EQ(received.size(), 300u);
  for (uint32_t i = 0; i < 300; ++i) EXPECT_EQ(received[i], i);
  EXPECT_TRUE(listener.Errors().empty());
}

TEST(EventStreamServer, ASlowListenerLosesTheExcessWithoutStallingTheOthers) {
  EventLoop loop;
  EventStreamServer server(loop);
  std::string error;
  ASSERT_TRUE(server.Listen(0, &error)) << error;
  RawListener slow(server.Port(), 4096);  // never reads
  RawListener fast(server.Port());
  ASSERT_TRUE(RunUntil(loop, [&] { return server.ListenerCount() == 2; }));

  constexpr size_t kTurns = 100;
  constexpr size_t kPerTurn = 500;
  std::atomic<size_t> fastRecords{0};
  std::thread reader([&] {
    while (fastRecords < kTurns * kPerTurn) {
      const std::optional<std::vector<TelemetryEvent>> packet = fast.ReadPacket();
      if (!packet) return;
      fastRecords += packet->size();
    }
  });
  size_t turn = 0;
  loop.AddTimer(1ms, 1ms, [&] {
    if (turn == kTurns) return;
    for (size_t i = 0; i < kPerTurn; ++i) server.Post(MakeRecord(33, 1, 2.0));
    ++turn;
  });
  const bool delivered =
      RunUntil(loop, [&] { return turn == kTurns && fastRecords == kTurns * kPerTurn; });
  reader.join();
  EXPECT_TRUE(delivered) << fastRecords << " records reached the fast listener";
  EXPECT_GT(server.DroppedRecords(), 0u);
  EXPECT_EQ(server.ListenerCount(), 2u);  // the slow one keeps its connection
}

TEST(EventStreamServer, AListenerThatHangsUpIsDropped) {
  EventLoop loop;
  EventStreamServer server(loop);
  std::string error;
  ASSERT_TRUE(server.Listen(0, &error)) << error;
  RawListener listener(server.Port());
  ASSERT_TRUE(RunUntil(loop, [&] { return server.ListenerCount() == 1; }));
  listener.Close();
  EXPECT_TRUE(RunUntil(loop, [&] { return server.ListenerCount() == 0; }));
  // Records posted without listeners go nowhere.
  server.Post(MakeRecord(14));
  RunFor(loop, 1ms);
  EXPECT_EQ(server.DroppedRecords(), 0u);
}

TEST(EventStreamServer, APortInUseIsReported) {
  EventLoop loop;
  EventStreamServer first(loop);
  EventStreamServer second(loop);
  std::string error;
  ASSERT_TRUE(first.Listen(0, &error)) << error;
  EXPECT_FALSE(second.Listen(first.Port(), &error));
  EXPECT_EQ(error.rfind("cannot listen for realtime event listeners at 127.0.0.1:" +
                            std::to_string(first.Port()) + ": ",
                        0),
            0u)
      << error;
}

}  // namespace
}  // namespace luxsim
