#include "ipc/hello.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <functional>

#include "ipc/connect_result.h"
#include "ipc/connection_resources.h"

namespace IPC {
namespace {

constexpr uint32_t kServer = 4000;
constexpr uint32_t kClient = 5000;

SectionBlock Block(uint32_t owner) {
  SectionBlock block{owner, kChannelCount, kRingSize, {}, 24, 25};
  for (int64_t i = 0; i < kChannelCount * kEventsPerChannel; ++i) block.eventHandles.push_back(i);
  return block;
}

std::vector<uint8_t> Serialize(const HelloMessage& hello) {
  std::array<uint8_t, kHelloBytes> storage{};
  IpcBuffer buffer = IpcBuffer::Fixed(storage);
  EXPECT_TRUE(WriteHello(hello, buffer));
  const auto bytes = buffer.Bytes();
  return {bytes.begin(), bytes.end()};
}

int32_t Check(const std::vector<uint8_t>& bytes, bool clientCreated) {
  HelloMessage response;
  return CheckHelloResponse(bytes, kServer, kClient, clientCreated, response);
}

TEST(Hello, TheClientJudgesTheResponse) {
  using Change = std::function<void(HelloMessage&)>;
  const auto block = [](const std::function<void(SectionBlock&)>& change) {
    return [change](HelloMessage& hello) {
      hello.section = Block(kServer);
      change(*hello.section);
    };
  };
  const struct {
    Change change;
    bool clientCreated;
    int32_t result;
  } cases[] = {
      {[](HelloMessage&) {}, true, kConnected},
      {block([](SectionBlock&) {}), false, kConnected},
      {block([](SectionBlock&) {}), true, kConnectHandshakeInvalid},  // both created one
      {[](HelloMessage&) {}, false, kConnectHandshakeInvalid},        // neither
      {[](HelloMessage& h) { h.magic = "CorviaIPC002\r"; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.magic = "CorviaIPC001\r\n"; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.greeting = "hello"; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.senderProcessId = kServer + 1; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.receiverProcessId = kClient + 1; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.channelCount = 2; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.ringSize = 0x20000; }, true, kConnectHandshakeInvalid},
      {block([](SectionBlock& b) { b.ownerProcessId = kClient; }), false, kConnectHandshakeInvalid},
      {block([](SectionBlock& b) { b.ringSize = 0x10000; }), false, kConnectHandshakeInvalid},
      {block([](SectionBlock& b) {
         b.channelCount = 2;
         b.eventHandles.resize(16);
       }),
       false, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.status = kHelloRefusedPeer; }, true, kConnectRefused},
      {[](HelloMessage& h) { h.status = kHelloSetupFailed; }, true, kConnectSetupFailed},
      {[](HelloMessage& h) { h.status = kHelloRefusedVersion; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.status = 7; }, true, kConnectHandshakeInvalid},
      {[](HelloMessage& h) { h.status = -1; }, true, kConnectHandshakeInvalid},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    HelloMessage response = MakeHello(kServer, kClient, std::nullopt, kHelloAccepted);
    cases[i].change(response);
    EXPECT_EQ(Check(Serialize(response), cases[i].clientCreated), cases[i].result) << "case " << i;
  }
}

TEST(Hello, AnyWrongByteOfTheMagicOrGreetingAndAnyOtherLengthFail) {
  const std::vector<uint8_t> good = Serialize(MakeHello(kServer, kClient, Block(kServer), 0));
  // Tagging byte, magic length (8), magic (14), greeting length (8), greeting (5).
  for (size_t i = 1 + 8; i < 1 + 8 + 14 + 8 + 5; ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x20;
    EXPECT_EQ(Check(bad, false), kConnectHandshakeInvalid) << "byte " << i;
  }
  for (size_t length = 0; length < good.size(); ++length) {
    EXPECT_EQ(Check({good.begin(), good.begin() + static_cast<long>(length)}, false),
              kConnectHandshakeInvalid)
        << length;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(Check(longer, false), kConnectHandshakeInvalid);
}

TEST(Hello, TheServerJudgesTheRequestAndItsBlocksFieldsMustBeInRange) {
  const struct {
    std::function<void(HelloMessage&)> change;
    std::optional<int64_t> verdict;  // nothing: the request does not parse
  } cases[] = {
      {[](HelloMessage& h) { h.section.reset(); }, kHelloAccepted},
      {[](HelloMessage& h) { h.magic[3] = 'x'; }, kHelloRefusedVersion},
      {[](HelloMessage& h) { h.greeting = "Hi"; }, kHelloRefusedVersion},
      {[](HelloMessage& h) { h.ringSize = 0x1000; }, kHelloRefusedVersion},
      {[](HelloMessage& h) { h.section->ownerProcessId = kServer; }, kHelloRefusedVersion},
      {[](HelloMessage& h) { h.senderProcessId = 1; }, kHelloRefusedPeer},
      {[](HelloMessage& h) { h.receiverProcessId = 1; }, kHelloRefusedPeer},
      {[](HelloMessage& h) { h.section->ownerProcessId = 0; }, std::nullopt},
      {[](HelloMessage& h) { h.section->channelCount = 0; }, std::nullopt},
      {[](HelloMessage& h) {
         h.section->channelCount = 4;
         h.section->eventHandles.resize(32);
       },
       std::nullopt},
      {[](HelloMessage& h) { h.section->ringSize = 255; }, std::nullopt},
      {[](HelloMessage& h) { h.section->ringSize = 0x100001; }, std::nullopt},
      {[](HelloMessage& h) {
         h.section->channelCount = 1;
         h.section->eventHandles.resize(8);
         h.section->ringSize = 256;
       },
       kHelloRefusedVersion},  // parses, but is not this version's section
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    HelloMessage request = MakeHello(kClient, kServer, Block(kClient), std::nullopt);
    cases[i].change(request);
    const std::optional<HelloMessage> read = ReadHello(Serialize(request), HelloKind::kRequest);
    EXPECT_EQ(read.has_value(), cases[i].verdict.has_value()) << "case " << i;
    if (read && cases[i].verdict) {
      EXPECT_EQ(CheckHelloRequest(*read, kClient, kServer), *cases[i].verdict) << "case " << i;
    }
  }
}

// On POSIX a block's handle values index the descriptors that travel with it; the Windows
// values, duplicated into the peer, are covered by the Windows two-process test.
#ifndef _WIN32
using Ring = ConnectionResources::Ring;

class ConnectionResourcesTest : public testing::Test {
 protected:
  ConnectionResourcesTest()
      : creator_(*ConnectionResources::Create(kChannelCount, kRingSize)),
        self_(*platform::ProcessHandle::Open(platform::CurrentProcessId())),
        handles_(self_),
        block_(*creator_.Describe(1234, handles_)) {}

  // What the peer receives: duplicates of the descriptors, in the order they were described.
  std::optional<ConnectionResources> AdoptWith(const SectionBlock& block) {
    std::vector<platform::OwnedHandle> carried;
    for (const platform::OwnedHandle* handle : handles_.Carried()) {
      carried.emplace_back(dup(static_cast<int>(handle->Get())));
    }
    platform::ReceivedHandles received(std::move(carried));
    return ConnectionResources::Adopt(block, received);
  }

  ConnectionResources creator_;
  platform::ProcessHandle self_;
  platform::PeerHandles handles_;
  SectionBlock block_;
};

// The peer maps the same section, so the rings' places in it are the peer's too.
TEST_F(ConnectionResourcesTest, EachRingIsItsOwnPartOfTheSectionInChannelOrder) {
  EXPECT_EQ(creator_.RingMemory(1, Ring::kCreatorOutgoingCalls).data() -
                creator_.RingMemory(0, Ring::kCreatorOutgoingCalls).data(),
            4 * kRingSize);
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
#endif

}  // namespace
}  // namespace IPC
