#include "ipc/connection_resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <set>

namespace IPC {
namespace {

using Ring = ConnectionResources::Ring;

// What the peer receives: duplicates of the handles, in the order they were described.
std::vector<platform::OwnedHandle> Received(const std::vector<const platform::OwnedHandle*>& sent) {
  std::vector<platform::OwnedHandle> handles;
  for (const platform::OwnedHandle* handle : sent) {
    handles.emplace_back(dup(static_cast<int>(handle->Get())));
  }
  return handles;
}

class ConnectionResourcesTest : public testing::Test {
 protected:
  ConnectionResourcesTest()
      : creator_(*ConnectionResources::Create(kChannelCount, kRingSize)),
        block_(creator_.Describe(1234, handles_)) {}

  std::optional<ConnectionResources> AdoptWith(const SectionBlock& block) {
    std::vector<platform::OwnedHandle> received = Received(handles_);
    return ConnectionResources::Adopt(block, received);
  }

  ConnectionResources creator_;
  std::vector<const platform::OwnedHandle*> handles_;
  SectionBlock block_;
};

TEST_F(ConnectionResourcesTest, DescribesEveryHandleOnce) {
  EXPECT_EQ(block_.ownerProcessId, 1234);
  EXPECT_EQ(block_.channelCount, 3);
  EXPECT_EQ(block_.ringSize, 0x40000);
  EXPECT_EQ(block_.eventHandles.size(), 24u);
  EXPECT_EQ(handles_.size(), 26u);
  std::set<int64_t> values(block_.eventHandles.begin(), block_.eventHandles.end());
  values.insert(block_.sectionHandle);
  values.insert(block_.stopHandle);
  EXPECT_EQ(values.size(), 26u);
  EXPECT_EQ(*values.begin(), 0);
  EXPECT_EQ(*values.rbegin(), 25);
}

TEST_F(ConnectionResourcesTest, ThePeerSharesTheRingsAndTheirEvents) {
  std::optional<ConnectionResources> peer = AdoptWith(block_);
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->ChannelCount(), 3);
  EXPECT_EQ(peer->RingSize(), kRingSize);
  for (int32_t channel = 0; channel < 3; ++channel) {
    for (const Ring ring : {Ring::kCreatorOutgoingCalls, Ring::kCreatorOutgoingReplies,
                            Ring::kCreatorIncomingCalls, Ring::kCreatorIncomingReplies}) {
      const auto mark = static_cast<uint8_t>(channel * 4 + ring + 1);
      creator_.RingMemory(channel, ring)[100] = mark;
      EXPECT_EQ(peer->RingMemory(channel, ring)[100], mark);
      creator_.DataEvent(channel, ring).Set();
      EXPECT_TRUE(peer->DataEvent(channel, ring).Wait(0));
      EXPECT_FALSE(peer->SpaceEvent(channel, ring).Wait(0));
      peer->SpaceEvent(channel, ring).Set();
      EXPECT_TRUE(creator_.SpaceEvent(channel, ring).Wait(0));
    }
  }
  // Each ring is a separate part of the section, in channel order.
  EXPECT_EQ(creator_.RingMemory(1, Ring::kCreatorOutgoingCalls).data() -
                creator_.RingMemory(0, Ring::kCreatorOutgoingCalls).data(),
            4 * kRingSize);
  peer->StopEvent().Set();
  EXPECT_TRUE(creator_.StopEvent().Wait(0));
  EXPECT_TRUE(creator_.StopEvent().Wait(0));  // manual reset
}

TEST_F(ConnectionResourcesTest, RefusesABlockThatDoesNotDescribeTheHandlesAndSection) {
  const std::function<void(SectionBlock&)> changes[] = {
      [](SectionBlock& b) { b.eventHandles[5] = 26; },  // out of range
      [](SectionBlock& b) { b.stopHandle = -1; },
      [](SectionBlock& b) { b.eventHandles[3] = b.eventHandles[2]; },          // used twice
      [](SectionBlock& b) { std::swap(b.sectionHandle, b.eventHandles[0]); },  // wrong kinds
      [](SectionBlock& b) { std::swap(b.sectionHandle, b.stopHandle); },
      [](SectionBlock& b) { b.ringSize = kRingSize / 2; },  // a section of another size
      [](SectionBlock& b) {
        b.channelCount = 2;
        b.eventHandles.resize(16);
      },
      [](SectionBlock& b) { b.eventHandles.pop_back(); },  // events that do not fit the channels
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    SectionBlock block = block_;
    changes[i](block);
    EXPECT_FALSE(AdoptWith(block)) << "change " << i;
  }
}

}  // namespace
}  // namespace IPC
