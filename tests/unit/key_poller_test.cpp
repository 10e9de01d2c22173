#include "platform/posix/key_poller.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace platform {
namespace {

class KeyPollerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe(fds_), 0); }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void Type(const std::string& keys) {
    ASSERT_EQ(write(fds_[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  int fds_[2] = {-1, -1};
};

TEST_F(KeyPollerTest, KeyPressedBeforeTheQueryCountsOnce) {
  KeyPoller poller(fds_[0]);
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
  Type("\n");
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEnter));
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
}

TEST_F(KeyPollerTest, KeysAreRememberedSeparately) {
  KeyPoller poller(fds_[0]);
  Type("abc\x1b");
  Type("\r");
  // Querying Escape reads the Enter press too; it stays pending until Enter is queried.
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEscape));
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEscape));
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEnter));
}

TEST_F(KeyPollerTest, CursorKeySequencesAreNotEscape) {
  KeyPoller poller(fds_[0]);
  Type("\x1b[A\x1bOP");
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEscape));
  Type("\x1b");
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEscape));
}

TEST_F(KeyPollerTest, ClosedInputNeverReportsAKey) {
  KeyPoller poller(fds_[0]);
  Type("x");
  close(fds_[1]);
  fds_[1] = -1;
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEscape));
}

TEST_F(KeyPollerTest, TheInputWakesAWaitWhileKeysCanArrive) {
  KeyPoller poller(fds_[0]);
  ASSERT_NE(poller.Input(), nullptr);
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), kWaitTimeout);
  Type("x");
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), 0u);
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));  // reads what waited
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), kWaitTimeout);
  close(fds_[1]);
  fds_[1] = -1;
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
  EXPECT_EQ(poller.Input(), nullptr);  // an ended input would wake every wait at once
}

}  // namespace
}  // namespace platform
