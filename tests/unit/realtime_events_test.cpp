#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "event_records.h"
#include "event_stream_server.h"
#include "stream_policy.h"

// The simulated runtime's realtime event stream where the validator's runs rely on it but could
// not notice a fault: which compositor frames count as lost, and packets no larger than the
// validator's listener takes (a larger one ends its stream without an error).

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

TEST(StreamPolicy, AFrameIsLostWhenTheVisibleSessionHasNoDeliveredFrameLeftToShow) {
  LostFrameRule rule;
  Session app = MakeSession(1, 500);
  const Session other = MakeSession(2, 600, 40);
  const struct {
    const Session* visible;
    uint64_t appFrames;
    bool lost;
  } ticks[] = {
      {nullptr, 0, false}, {&app, 0, false},  // the first compositor frame in front: not judged
      {&app, 0, true},     {&app, 1, false},    {&app, 1, true},
      {&app, 3, false},  // two frames in one make up for nothing lost before,
      {&app, 3, false},  // but the second is shown at the next compositor frame
      {&app, 3, true},     {&app, 7, false},  // one of four waits, two are dropped
      {&app, 7, false},    {&app, 7, true},     {&other, 3, false},
      {&other, 3, true},   {nullptr, 3, false}, {&other, 3, false},  // in front again: a new start
  };
  for (size_t i = 0; i < std::size(ticks); ++i) {
    app.framesSubmitted = ticks[i].appFrames;
    EXPECT_EQ(rule.OnCompositorFrame(ticks[i].visible), ticks[i].lost) << "tick " << i;
  }
}

// A plain TCP client of the stream that reads whole packets.
class RawListener {
 public:
  explicit RawListener(uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
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

TEST_F(EventStreamServerTest, RecordsOfOneFlushGoOutInOrderInPacketsOfAtMost128) {
  RawListener listener(server_.Port());
  ASSERT_TRUE(RunUntil([&] { return server_.ListenerCount() == 1; }));
  loop_.AddTimer(1ms, 0ms, [&] {
    for (uint32_t i = 0; i < 300; ++i) server_.Post(records::ProcessEvent(33, i, 1.0 + i));
    server_.Flush();
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

}  // namespace
}  // namespace luxsim
