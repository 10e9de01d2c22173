#include "ipc/hello.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ipc/connect_result.h"

namespace IPC {
namespace {

constexpr uint32_t kServer = 4000;
constexpr uint32_t kClient = 5000;

SectionBlock Block(uint32_t owner) {
  SectionBlock block;
  block.ownerProcessId = owner;
  block.channelCount = kChannelCount;
  block.ringSize = kRingSize;
  for (int64_t i = 0; i < kChannelCount * kEventsPerChannel; ++i) block.eventHandles.push_back(i);
  block.sectionHandle = 24;
  block.stopHandle = 25;
  return block;
}

std::vector<uint8_t> Serialize(const HelloMessage& hello) {
  std::array<uint8_t, kHelloBytes> storage{};
  IpcBuffer buffer = IpcBuffer::Fixed(storage);
  EXPECT_TRUE(WriteHello(hello, buffer));
  const auto bytes = buffer.Bytes();
  return {bytes.begin(), bytes.end()};
}

// The response of a server that created the section, or that did not.
std::vector<uint8_t> Response(bool serverCreated, int64_t status = kHelloAccepted) {
  return Serialize(MakeHello(kServer, kClient,
                             serverCreated ? std::optional(Block(kServer)) : std::nullopt, status));
}

int32_t Check(const std::vector<uint8_t>& bytes, bool clientCreated) {
  HelloMessage response;
  return CheckHelloResponse(bytes, kServer, kClient, clientCreated, response);
}

TEST(Hello, ARequestWithASectionBlockFitsAndReadsBack) {
  const HelloMessage request = MakeHello(kClient, kServer, Block(kClient), std::nullopt);
  const std::vector<uint8_t> bytes = Serialize(request);
  EXPECT_LE(bytes.size(), kHelloBytes);
  EXPECT_EQ(bytes[0], 0);  // untagged
  const auto read = ReadHello(bytes, HelloKind::kRequest);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->magic, "CorviaIPC002\r\n");
  EXPECT_EQ(read->greeting, "Hello");
  EXPECT_EQ(read->senderProcessId, kClient);
  EXPECT_EQ(read->receiverProcessId, kServer);
  EXPECT_EQ(read->channelCount, 3);
  EXPECT_EQ(read->ringSize, 0x40000);
  ASSERT_TRUE(read->section);
  EXPECT_EQ(read->section->eventHandles, Block(kClient).eventHandles);
  EXPECT_EQ(read->section->sectionHandle, 24);
  EXPECT_EQ(read->section->stopHandle, 25);
  EXPECT_FALSE(read->status);
  // A request has no status, a response must have one.
  EXPECT_FALSE(ReadHello(bytes, HelloKind::kResponse));
  EXPECT_EQ(CheckHelloRequest(*read, kClient, kServer), kHelloAccepted);
}

TEST(Hello, TheResponseDecidesWhoCreatedTheSection) {
  EXPECT_EQ(Check(Response(false), true), kConnected);
  EXPECT_EQ(Check(Response(true), false), kConnected);
  EXPECT_EQ(Check(Response(true), true), kConnectHandshakeInvalid);    // both
  EXPECT_EQ(Check(Response(false), false), kConnectHandshakeInvalid);  // neither
  HelloMessage response;
  ASSERT_EQ(CheckHelloResponse(Response(true), kServer, kClient, false, response), kConnected);
  ASSERT_TRUE(response.section);
  EXPECT_EQ(response.section->ownerProcessId, kServer);
}

TEST(Hello, AnyWrongByteOfTheMagicOrGreetingFails) {
  const std::vector<uint8_t> good = Response(false);
  // Tagging byte, magic length (8), magic (14), greeting length (8), greeting (5).
  const size_t magicStart = 1 + 8;
  const size_t greetingStart = magicStart + 14 + 8;
  ASSERT_EQ(std::string(good.begin() + magicStart, good.begin() + magicStart + 14),
            "CorviaIPC002\r\n");
  ASSERT_EQ(std::string(good.begin() + greetingStart, good.begin() + greetingStart + 5), "Hello");
  for (size_t i = magicStart; i < greetingStart + 5; ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x20;
    EXPECT_EQ(Check(bad, true), kConnectHandshakeInvalid) << "byte " << i;
  }
  HelloMessage shortMagic = MakeHello(kServer, kClient, std::nullopt, kHelloAccepted);
  shortMagic.magic = "CorviaIPC002\r";
  EXPECT_EQ(Check(Serialize(shortMagic), true), kConnectHandshakeInvalid);
  HelloMessage otherVersion = shortMagic;
  otherVersion.magic = "CorviaIPC001\r\n";
  EXPECT_EQ(Check(Serialize(otherVersion), true), kConnectHandshakeInvalid);
  HelloMessage otherGreeting = MakeHello(kServer, kClient, std::nullopt, kHelloAccepted);
  otherGreeting.greeting = "hello";
  EXPECT_EQ(Check(Serialize(otherGreeting), true), kConnectHandshakeInvalid);
}

TEST(Hello, WrongIdentitiesOrSizesFail) {
  const auto changed = [](auto change) {
    HelloMessage hello = MakeHello(kServer, kClient, std::nullopt, kHelloAccepted);
    change(hello);
    return Check(Serialize(hello), true);
  };
  EXPECT_EQ(changed([](HelloMessage& h) { h.senderProcessId = kServer + 1; }),
            kConnectHandshakeInvalid);
  EXPECT_EQ(changed([](HelloMessage& h) { h.receiverProcessId = kClient + 1; }),
            kConnectHandshakeInvalid);
  EXPECT_EQ(changed([](HelloMessage& h) { h.channelCount = 2; }), kConnectHandshakeInvalid);
  EXPECT_EQ(changed([](HelloMessage& h) { h.ringSize = 0x20000; }), kConnectHandshakeInvalid);
}

TEST(Hello, TheServersSectionBlockMustAgree) {
  const auto withBlock = [](auto change) {
    SectionBlock block = Block(kServer);
    change(block);
    return Check(Serialize(MakeHello(kServer, kClient, block, kHelloAccepted)), false);
  };
  EXPECT_EQ(withBlock([](SectionBlock&) {}), kConnected);
  EXPECT_EQ(withBlock([](SectionBlock& b) { b.ownerProcessId = kClient; }),
            kConnectHandshakeInvalid);
  EXPECT_EQ(withBlock([](SectionBlock& b) { b.ringSize = 0x10000; }), kConnectHandshakeInvalid);
  EXPECT_EQ(withBlock([](SectionBlock& b) {
              b.channelCount = 2;
              b.eventHandles.resize(16);
            }),
            kConnectHandshakeInvalid);
}

TEST(Hello, StatusesMapToConnectResults) {
  EXPECT_EQ(Check(Response(false, kHelloRefusedPeer), true), kConnectRefused);
  EXPECT_EQ(Check(Response(false, kHelloSetupFailed), true), kConnectSetupFailed);
  EXPECT_EQ(Check(Response(false, kHelloRefusedVersion), true), kConnectHandshakeInvalid);
  EXPECT_EQ(Check(Response(false, 7), true), kConnectHandshakeInvalid);
  EXPECT_EQ(Check(Response(false, -1), true), kConnectHandshakeInvalid);
}

TEST(Hello, MissingTruncatedOrOverlongResponsesFail) {
  EXPECT_EQ(Check({}, true), kConnectHandshakeInvalid);
  const std::vector<uint8_t> good = Response(true);
  for (size_t length = 1; length < good.size(); ++length) {
    EXPECT_EQ(Check({good.begin(), good.begin() + static_cast<long>(length)}, false),
              kConnectHandshakeInvalid)
        << length;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(Check(longer, false), kConnectHandshakeInvalid);
}

TEST(Hello, SectionBlockFieldsMustBeInRange) {
  const auto parses = [](auto change) {
    SectionBlock block = Block(kClient);
    change(block);
    return ReadHello(Serialize(MakeHello(kClient, kServer, block, std::nullopt)),
                     HelloKind::kRequest)
        .has_value();
  };
  EXPECT_TRUE(parses([](SectionBlock&) {}));
  EXPECT_FALSE(parses([](SectionBlock& b) { b.ownerProcessId = 0; }));
  EXPECT_FALSE(parses([](SectionBlock& b) { b.channelCount = 0; }));
  EXPECT_FALSE(parses([](SectionBlock& b) {
    b.channelCount = 4;
    b.eventHandles.resize(32);
  }));
  EXPECT_FALSE(parses([](SectionBlock& b) { b.ringSize = 255; }));
  EXPECT_FALSE(parses([](SectionBlock& b) { b.ringSize = 0x100001; }));
  EXPECT_TRUE(parses([](SectionBlock& b) {
    b.channelCount = 1;
    b.eventHandles.resize(8);
    b.ringSize = 256;
  }));
}

TEST(Hello, TheServerJudgesTheRequest) {
  const auto judged = [](auto change) {
    HelloMessage request = MakeHello(kClient, kServer, Block(kClient), std::nullopt);
    change(request);
    return CheckHelloRequest(request, kClient, kServer);
  };
  EXPECT_EQ(judged([](HelloMessage&) {}), kHelloAccepted);
  EXPECT_EQ(judged([](HelloMessage& h) { h.section.reset(); }), kHelloAccepted);
  EXPECT_EQ(judged([](HelloMessage& h) { h.magic[3] = 'x'; }), kHelloRefusedVersion);
  EXPECT_EQ(judged([](HelloMessage& h) { h.greeting = "Hi"; }), kHelloRefusedVersion);
  EXPECT_EQ(judged([](HelloMessage& h) { h.ringSize = 0x1000; }), kHelloRefusedVersion);
  EXPECT_EQ(judged([](HelloMessage& h) { h.senderProcessId = 1; }), kHelloRefusedPeer);
  EXPECT_EQ(judged([](HelloMessage& h) { h.receiverProcessId = 1; }), kHelloRefusedPeer);
  EXPECT_EQ(judged([](HelloMessage& h) { h.section->ownerProcessId = kServer; }),
            kHelloRefusedVersion);
}

}  // namespace
}  // namespace IPC
