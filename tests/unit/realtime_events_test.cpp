#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "event_records.h"
#include "event_stream_server.h"
#include "stream_policy.h"

// The simulated runtime's realtime event stream where no e2e run reaches: which records go out
// and when (the stream's pacing policy), and a slow listener.

namespace luxsim {
namespace {

using namespace std::chrono_literals;
using LUX::Telemetry::TelemetryEvent;

Session MakeSession(SessionId id, uint32_t pid, uint64_t frames = 0) {
  Session session;
  session.id = id;
  session.pid = pid;
  session.framesSubmitted = frames;
  return session;
}

TEST(StreamPolicy, TheOutputIsOnWhileAnyClientHasItOn) {
  EventOutputSwitch output;
  output.Set(1, true);
  output.Set(2, true);
  output.Set(1, false);
  EXPECT_TRUE(output.IsOn());
  output.Forget(2);
  output.Set(3, false);  // switching off what was never on changes nothing
  EXPECT_FALSE(output.IsOn());
}

TEST(StreamPolicy, OnlyTheFrequentProcessGetsEveryPerFrameRecordOthersTheirFirstFrame) {
  FrequentEventsFilter filter;
  const Session first = MakeSession(1, 500);
  const Session second = MakeSession(2, 500);
  using enum PerFrameRecord;
  const struct {
    PerFrameRecord kind;
    const Session& session;
    uint32_t frequentPid;
    bool admitted;
  } steps[] = {
      {kRenderDescFetched, first, 0, false},   {kSwapChainCommitted, first, 600, false},
      {kRenderPoseSubmitted, first, 0, false}, {kFrameSubmitted, first, 0, true},
      {kFrameSubmitted, first, 600, false},    {kLayersSubmitted, first, 600, true},
      {kLayersSubmitted, first, 0, false},     {kFrameSubmitted, second, 0, true},
      {kFrameSubmitted, first, 500, true},     {kSwapChainCommitted, first, 500, true},
      {kRenderDescFetched, first, 500, true},  {kRenderPoseSubmitted, first, 500, true},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(filter.Admits(steps[i].kind, steps[i].session, steps[i].frequentPid),
              steps[i].admitted)
        << "step " << i;
  }
  filter.Forget(1);  // a session that ended is forgotten
  EXPECT_TRUE(filter.Admits(kFrameSubmitted, first, 0));
}

TEST(StreamPolicy, AFrameIsLostWhenTheVisibleSessionDeliveredNothingSinceTheLastOne) {
  LostFrameRule rule;
  Session app = MakeSession(1, 500);
  const Session other = MakeSession(2, 600, 40);
  const struct {
    const Session* visible;
    uint64_t appFrames;
    bool lost;
  } ticks[] = {
      {nullptr, 0, false}, {&app, 0, false},  // the first compositor frame in front: not judged
      {&app, 0, true},     {&app, 1, false},   {&app, 1, true},
      {&app, 3, false},  // two frames in one make up for nothing lost before
      {&app, 3, true},     {&other, 3, false}, {&other, 3, true},
      {nullptr, 3, false}, {&other, 3, false},  // in front again: a new start
  };
  for (size_t i = 0; i < std::size(ticks); ++i) {
    app.framesSubmitted = ticks[i].appFrames;
    EXPECT_EQ(rule.OnCompositorFrame(ticks[i].visible), ticks[i].lost) << "tick " << i;
  }
}

TEST(ListenerBacklog, PacketsGoOutInOrderAndOneThatDoesNotFitIsDroppedWhole) {
  const auto bytes = [](size_t count, uint8_t value) {
    return std::vector<std::byte>(count, std::byte{value});
  };
  ListenerBacklog backlog(4);
  ASSERT_TRUE(backlog.Offer(bytes(30, 1), 3));
  EXPECT_FALSE(backlog.Offer(bytes(20, 2), 2));
  EXPECT_EQ(backlog.DroppedRecords(), 2u);
  EXPECT_TRUE(backlog.Offer(bytes(10, 3), 1));
  EXPECT_EQ(backlog.QueuedRecords(), 4u);
  // The packet being sent is never dropped: it finishes before the next starts.
  backlog.Consume(29);
  ASSERT_EQ(backlog.Pending().size(), 1u);
  EXPECT_FALSE(backlog.Offer(bytes(10, 4), 1));
  // One send may finish a packet and start the next.
  backlog.Consume(2);
  ASSERT_EQ(backlog.Pending().size(), 9u);
  EXPECT_EQ(backlog.Pending()[0], std::byte{3});
  EXPECT_EQ(backlog.QueuedRecords(), 1u);
  backlog.Consume(9);
  EXPECT_TRUE(backlog.Empty());
  EXPECT_TRUE(backlog.Pending().empty());
}

// A plain TCP client of the stream that reads whole packets.
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
    connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  ~RawListener() { close(fd_); }

  // One packet's records; nothing when the stream failed or stayed silent for 5 s.
  std::optional<std::vector<TelemetryEvent>> ReadPacket() {
    uint64_t header[2];
    if (!ReadExactly(header, sizeof header)) return std::nullopt;
    EXPECT_EQ(header[0], 16 + sizeof(TelemetryEvent) * header[1]);
    std::vector<TelemetryEvent> records(header[1]);
    if (!ReadExactly(records.data(), sizeof(TelemetryEvent) * records.size())) return std::nullopt;
    return records;
  }

 private:
  bool ReadExactly(void* into, size_t count) {
    for (auto* bytes = static_cast<char*>(into); count > 0;) {
      const ssize_t got = recv(fd_, bytes, count, 0);
      if (got <= 0) return false;
      bytes += got;
      count -= static_cast<size_t>(got);
    }
    return true;
  }
  int fd_;
};

class EventStreamServerTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Listen(0, &error)) << error;
  }
  // Runs the loop for `duration`.
  void RunFor(std::chrono::milliseconds duration) {
    loop_.AddTimer(duration, 0ms, [this] { loop_.Stop(); });
    ASSERT_TRUE(loop_.Run());
  }
  // Runs the loop until `condition` holds, at most 5 s.
  bool RunUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition() && std::chrono::steady_clock::now() < deadline) RunFor(5ms);
    return condition();
  }

  EventLoop loop_;
  EventStreamServer server_{loop_};
};

TEST_F(EventStreamServerTest, RecordsOfOneTurnGoOutInOrderInPacketsOfAtMost128) {
  RawListener listener(server_.Port());
  ASSERT_TRUE(RunUntil([&] { return server_.ListenerCount() == 1; }));
  loop_.AddTimer(1ms, 0ms, [&] {
    for (uint32_t i = 0; i < 300; ++i) server_.Post(records::ProcessEvent(33, i, 1.0 + i));
  });
  RunFor(20ms);
  std::vector<size_t> sizes;
  for (uint32_t next = 0; next < 300;) {
    const std::optional<std::vector<TelemetryEvent>> packet = listener.ReadPacket();
    ASSERT_TRUE(packet);
    sizes.push_back(packet->size());
    for (const TelemetryEvent& record : *packet) {
      EXPECT_EQ(LUX::Telemetry::EventProcessId(record), next);
      EXPECT_DOUBLE_EQ(record.timestamp, 1.0 + next++);
    }
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{128, 128, 44}));
}

TEST_F(EventStreamServerTest, ASlowListenerLosesTheExcessWithoutStallingTheOthers) {
  RawListener slow(server_.Port(), 4096);  // never reads
  RawListener fast(server_.Port());
  ASSERT_TRUE(RunUntil([&] { return server_.ListenerCount() == 2; }));
  constexpr size_t kRecords = 100 * 500;
  std::atomic<size_t> fastRecords{0};
  std::thread reader([&] {
    while (fastRecords < kRecords) {
      const std::optional<std::vector<TelemetryEvent>> packet = fast.ReadPacket();
      if (!packet) return;
      fastRecords += packet->size();
    }
  });
  // A turn of 500 records each millisecond once the fast listener has read the last one, so
  // that a fast listener that is slow to be scheduled still keeps up.
  size_t posted = 0;
  loop_.AddTimer(1ms, 1ms, [&] {
    if (fastRecords < posted) return;
    for (size_t i = 0; i < 500 && posted < kRecords; ++i, ++posted) {
      server_.Post(records::ProcessEvent(33, 1, 2.0));
    }
  });
  const bool delivered = RunUntil([&] { return fastRecords == kRecords; });
  reader.join();
  EXPECT_TRUE(delivered) << fastRecords << " records reached the fast listener";
  EXPECT_GT(server_.DroppedRecords(), 0u);
  EXPECT_EQ(server_.ListenerCount(), 2u);  // the slow one keeps its connection
}

TEST_F(EventStreamServerTest, AListenerThatHangsUpIsDroppedAndATakenPortIsReported) {
  std::optional<RawListener> listener(std::in_place, server_.Port());
  ASSERT_TRUE(RunUntil([&] { return server_.ListenerCount() == 1; }));
  listener.reset();
  EXPECT_TRUE(RunUntil([&] { return server_.ListenerCount() == 0; }));
  EventStreamServer second(loop_);
  std::string error;
  EXPECT_FALSE(second.Listen(server_.Port(), &error));
  EXPECT_EQ(error.rfind("cannot listen for realtime event listeners at 127.0.0.1:" +
                            std::to_string(server_.Port()) + ": ",
                        0),
            0u)
      << error;
}

}  // namespace
}  // namespace luxsim
