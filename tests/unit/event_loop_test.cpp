#include "event_loop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <string>

#include "support/child_process.h"

namespace luxsim {
namespace {

using namespace std::chrono_literals;

class Pipe {
 public:
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
  }
  int ReadEnd() const { return read_.Get(); }
  void Write(const std::string& text) {
    EXPECT_EQ(write(write_.Get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  std::string Drain() {
    char buffer[64];
    const ssize_t count = read(read_.Get(), buffer, sizeof buffer);
    return count > 0 ? std::string(buffer, static_cast<size_t>(count)) : std::string();
  }

 private:
  UniqueFd read_;
  UniqueFd write_;
};

TEST(EventLoop, ReadableDescriptorsAreDispatched) {
  EventLoop loop;
  ASSERT_TRUE(loop.IsValid());
  Pipe pipe;
  std::string received;
  ASSERT_TRUE(loop.Watch(pipe.ReadEnd(), EPOLLIN, [&](uint32_t events) {
    EXPECT_NE(events & EPOLLIN, 0u);
    received += pipe.Drain();
    if (received == "ab") loop.Stop();
  }));
  pipe.Write("a");
  loop.AddTimer(5ms, 0ms, [&] { pipe.Write("b"); });
  EXPECT_TRUE(loop.Run());
  EXPECT_EQ(received, "ab");
}

TEST(EventLoop, TimersFireOnceOrRepeatUntilCancelled) {
  EventLoop loop;
  int once = 0;
  int repeated = 0;
  loop.AddTimer(1ms, 0ms, [&] { ++once; });
  EventLoop::TimerId ticker = 0;
  ticker = loop.AddTimer(1ms, 2ms, [&] {
    if (++repeated == 3) {
      loop.CancelTimer(ticker);
      loop.AddTimer(10ms, 0ms, [&] { loop.Stop(); });
    }
  });
  ASSERT_NE(ticker, 0u);
  EXPECT_TRUE(loop.Run());
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 3);
}

TEST(EventLoop, DeferredWorkRunsAfterTheRoundInOrder) {
  EventLoop loop;
  std::string order;
  loop.AddTimer(1ms, 0ms, [&] {
    loop.Defer([&] {
      order += "2";
      loop.Defer([&] {
        order += "3";
        loop.Stop();
      });
    });
    order += "1";
  });
  EXPECT_TRUE(loop.Run());
  EXPECT_EQ(order, "123");
}

TEST(EventLoop, AWatchRemovedByAnEarlierCallbackIsNotCalled) {
  EventLoop loop;
  Pipe first;
  Pipe second;
  int calls = 0;
  // Whichever runs first removes the other; both are ready in the same round.
  loop.Watch(first.ReadEnd(), EPOLLIN, [&](uint32_t) {
    ++calls;
    loop.Unwatch(second.ReadEnd());
    loop.Unwatch(first.ReadEnd());
  });
  loop.Watch(second.ReadEnd(), EPOLLIN, [&](uint32_t) {
    ++calls;
    loop.Unwatch(first.ReadEnd());
    loop.Unwatch(second.ReadEnd());
  });
  first.Write("x");
  second.Write("y");
  loop.AddTimer(20ms, 0ms, [&] { loop.Stop(); });
  EXPECT_TRUE(loop.Run());
  EXPECT_EQ(calls, 1);
}

TEST(EventLoop, SignalsArriveAsEvents) {
  const auto run = testsupport::RunInChild([] {
    EventLoop loop;
    int received = 0;
    if (!loop.OnSignal(SIGUSR1, [&] {
          ++received;
          loop.Stop();
        })) {
      return 2;
    }
    kill(getpid(), SIGUSR1);
    return loop.Run() && received == 1 ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
}

}  // namespace
}  // namespace luxsim
