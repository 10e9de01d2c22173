#include "listener_backlog.h"

#include <gtest/gtest.h>

namespace luxsim {
namespace {

std::vector<std::byte> Bytes(size_t count, uint8_t value) {
  return std::vector<std::byte>(count, std::byte{value});
}

TEST(ListenerBacklog, PacketsAreSentInOrderAcrossPartialSends) {
  ListenerBacklog backlog(10);
  EXPECT_TRUE(backlog.Empty());
  EXPECT_TRUE(backlog.Pending().empty());
  ASSERT_TRUE(backlog.Offer(Bytes(5, 1), 2));
  ASSERT_TRUE(backlog.Offer(Bytes(3, 2), 1));
  EXPECT_EQ(backlog.QueuedRecords(), 3u);
  EXPECT_EQ(backlog.Pending().size(), 5u);
  backlog.Consume(4);
  ASSERT_EQ(backlog.Pending().size(), 1u);
  EXPECT_EQ(backlog.Pending()[0], std::byte{1});
  EXPECT_EQ(backlog.QueuedRecords(), 3u);
  // One send may finish a packet and start the next.
  backlog.Consume(2);
  ASSERT_EQ(backlog.Pending().size(), 2u);
  EXPECT_EQ(backlog.Pending()[0], std::byte{2});
  EXPECT_EQ(backlog.QueuedRecords(), 1u);
  backlog.Consume(2);
  EXPECT_TRUE(backlog.Empty());
  EXPECT_EQ(backlog.QueuedRecords(), 0u);
}

TEST(ListenerBacklog, APacketThatDoesNotFitIsDroppedWholeAndLaterOnesStillFit) {
  ListenerBacklog backlog(4);
  ASSERT_TRUE(backlog.Offer(Bytes(30, 1), 3));
  EXPECT_FALSE(backlog.Offer(Bytes(20, 2), 2));
  EXPECT_EQ(backlog.DroppedRecords(), 2u);
  EXPECT_TRUE(backlog.Offer(Bytes(10, 3), 1));
  EXPECT_EQ(backlog.QueuedRecords(), 4u);
  // The packet being sent is never dropped: it finishes before the next starts.
  backlog.Consume(29);
  EXPECT_FALSE(backlog.Offer(Bytes(10, 4), 1));
  EXPECT_EQ(backlog.DroppedRecords(), 3u);
  backlog.Consume(1);
  EXPECT_EQ(backlog.Pending()[0], std::byte{3});
  EXPECT_TRUE(backlog.Offer(Bytes(10, 5), 3));
  EXPECT_EQ(backlog.QueuedRecords(), 4u);
}

}  // namespace
}  // namespace luxsim
