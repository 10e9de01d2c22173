#include "loop_mailbox.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace luxsim {
namespace {

TEST(LoopMailbox, WorkPostedFromOtherThreadsRunsOnTheLoopInOrder) {
  EventLoop loop;
  LoopMailbox mailbox(loop);
  ASSERT_TRUE(mailbox.IsValid());
  constexpr int kThreads = 4;
  constexpr int kPosts = 500;
  // Touched only by the loop's thread, which is this one.
  std::vector<std::vector<int>> seen(kThreads);
  int done = 0;
  const std::thread::id loopThread = std::this_thread::get_id();
  bool allOnTheLoop = true;
  std::vector<std::thread> posters;
  for (int poster = 0; poster < kThreads; ++poster) {
    posters.emplace_back([&, poster] {
      for (int i = 0; i < kPosts; ++i) {
        mailbox.Post([&, poster, i] {
          allOnTheLoop = allOnTheLoop && std::this_thread::get_id() == loopThread;
          seen[static_cast<size_t>(poster)].push_back(i);
          if (++done == kThreads * kPosts) loop.Stop();
        });
      }
    });
  }
  ASSERT_TRUE(loop.Run());
  for (std::thread& poster : posters) poster.join();
  EXPECT_TRUE(allOnTheLoop);
  for (const std::vector<int>& numbers : seen) {
    ASSERT_EQ(numbers.size(), static_cast<size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) EXPECT_EQ(numbers[static_cast<size_t>(i)], i);
  }
}

TEST(LoopMailbox, WorkPostedBeforeTheLoopRunsWaitsForIt) {
  EventLoop loop;
  LoopMailbox mailbox(loop);
  bool ran = false;
  mailbox.Post([&] {
    ran = true;
    loop.Stop();
  });
  EXPECT_FALSE(ran);
  ASSERT_TRUE(loop.Run());
  EXPECT_TRUE(ran);
}

TEST(LoopMailbox, PendingWorkGoesWithTheMailbox) {
  EventLoop loop;
  bool ran = false;
  {
    LoopMailbox mailbox(loop);
    mailbox.Post([&] { ran = true; });
  }
  // The loop no longer watches the mailbox; other work still runs.
  loop.AddTimer(std::chrono::milliseconds(1), std::chrono::nanoseconds(0), [&] { loop.Stop(); });
  ASSERT_TRUE(loop.Run());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace luxsim
