#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "events/client_socket.h"
#include "events/packet_format.h"
#include "support/loopback_server.h"
#include "support/telemetry_records.h"
#include "support/wait_until.h"

// The listener over a real loopback TCP connection: connecting, the receive thread, packets
// as they come off the stream, and the end of the stream.

namespace LUX::Telemetry {
namespace {

using testsupport::LoopbackServer;
using testsupport::MakeRecord;
using testsupport::PacketHeader;
using testsupport::WaitUntil;

std::vector<std::byte> PacketOf(uint32_t firstSequence, uint32_t count) {
  std::vector<TelemetryEvent> records;
  for (uint32_t i = 0; i < count; ++i) {
    records.push_back(MakeRecord(kFrameSubmitted, firstSequence + i, 50.0));
  }
  return EncodePacket(records);
}

class ListenerConnectionTest : public testing::Test {
 protected:
  void ConnectAndAccept(bool suppressOutOfOrderReports = true) {
    ASSERT_NE(server_.Port(), 0);
    ASSERT_TRUE(listener_->Connect(server_.Port(), suppressOutOfOrderReports));
    ASSERT_TRUE(server_.Accept());
  }

  bool ReceivedRecords(uint64_t count) {
    return WaitUntil([&] { return listener_->Counters().recordsReceived >= count; });
  }

  std::vector<uint32_t> Process() {
    std::vector<uint32_t> sequences;
    listener_->ProcessEvents(
        [&](TelemetryEvent** events, int32_t count) {
          for (int32_t i = 0; i < count; ++i) sequences.push_back(EventProcessId(*events[i]));
        },
        0);
    return sequences;
  }

  std::vector<std::string> ErrorMessages() const {
    std::vector<std::string> messages;
    for (const ListenerError& error : listener_->Errors()) messages.push_back(error.message);
    return messages;
  }

  LoopbackServer server_;
  std::atomic<double> now_{100.0};
  std::unique_ptr<TClientSocket> listener_ =
      std::make_unique<TClientSocket>([this] { return now_.load(); });
};

TEST_F(ListenerConnectionTest, ReceivesPacketsSplitAndJoinedByTheStream) {
  ConnectAndAccept();
  EXPECT_TRUE(listener_->IsReceiving());
  const std::vector<std::byte> first = PacketOf(1, 3);
  std::vector<std::byte> joined = PacketOf(4, 2);
  const std::vector<std::byte> third = PacketOf(6, 1);
  joined.insert(joined.end(), third.begin(), third.end());

  ASSERT_TRUE(server_.Send(std::span(first).first(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(server_.Send(std::span(first).subspan(20)));
  ASSERT_TRUE(server_.Send(joined));
  ASSERT_TRUE(ReceivedRecords(6));
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(listener_->Errors().empty());
}

TEST_F(ListenerConnectionTest, TwentyReleasedRecordsWakeTheWaiter) {
  ConnectAndAccept();
  ASSERT_TRUE(server_.Send(PacketOf(0, 20)));
  EXPECT_TRUE(listener_->WaitForEvents(10000));
  EXPECT_EQ(Process().size(), 20u);
}

TEST_F(ListenerConnectionTest, MalformedPacketIsReportedOnEveryLaterArrival) {
  ConnectAndAccept();
  ASSERT_TRUE(server_.Send(PacketHeader(16 + 112 * 4, 3)));
  ASSERT_TRUE(server_.Send(std::vector<std::byte>(112 * 4)));
  ASSERT_TRUE(WaitUntil([&] { return ErrorMessages().size() == 1; }));
  ASSERT_TRUE(server_.Send(PacketOf(1, 1)));
  ASSERT_TRUE(WaitUntil([&] { return ErrorMessages().size() == 2; }));
  EXPECT_EQ(ErrorMessages(), (std::vector<std::string>{"Malformed packet", "Malformed packet"}));
  EXPECT_EQ(listener_->Errors()[0].code, kConnectionError);
  EXPECT_EQ(listener_->Counters().recordsReceived, 0u);
  EXPECT_TRUE(listener_->IsReceiving());
}

TEST_F(ListenerConnectionTest, PacketLargerThanTheBufferEndsTheStreamWithoutError) {
  ConnectAndAccept();
  ASSERT_TRUE(server_.Send(PacketOf(1, 2)));
  ASSERT_TRUE(server_.Send(PacketOf(10, 200)));
  ASSERT_TRUE(WaitUntil([&] { return !listener_->IsReceiving(); }));
  EXPECT_TRUE(listener_->Errors().empty());
  EXPECT_EQ(listener_->Counters().recordsReceived, 2u);
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2}));
}

TEST_F(ListenerConnectionTest, OneConnectionAtATimeUntilTheStreamEndsAndTheRecordsAreKept) {
  const uint16_t closed = testsupport::LoopbackServer::ClosedPort();
  EXPECT_FALSE(listener_->Connect(closed, true));
  EXPECT_FALSE(listener_->IsReceiving());
  EXPECT_FALSE(listener_->Connect(closed, true));  // nothing was started: it tries again
  EXPECT_EQ(ErrorMessages(), (std::vector<std::string>{"Unable to connect to server",
                                                       "Unable to connect to server"}));
  ConnectAndAccept();
  EXPECT_FALSE(listener_->Connect(server_.Port(), true));
  EXPECT_EQ(listener_->Errors().back().code, kConnectionError);
  EXPECT_EQ(ErrorMessages().back(), "Client connection already active");
  ASSERT_TRUE(server_.Send(PacketOf(1, 3)));
  server_.CloseClient();
  ASSERT_TRUE(WaitUntil([&] { return !listener_->IsReceiving(); }));
  EXPECT_EQ(ErrorMessages().size(), 3u);  // the end of the stream is no error
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2, 3}));
  // The connection still counts as made.
  EXPECT_FALSE(listener_->Connect(server_.Port(), true));
  EXPECT_EQ(ErrorMessages().back(), "Client connection already active");
}

TEST_F(ListenerConnectionTest, OutOfOrderReportsFollowTheConnectRequest) {
  ConnectAndAccept(true);
  listener_->Enqueue(MakeRecord(kFrameSubmitted, 1, 99.95));
  Process();
  listener_->Enqueue(MakeRecord(kFrameSubmitted, 2, 10.0));
  Process();
  EXPECT_TRUE(listener_->Errors().empty());

  TClientSocket reporting([this] { return now_.load(); });
  LoopbackServer other;
  ASSERT_TRUE(reporting.Connect(other.Port(), false));
  reporting.Enqueue(MakeRecord(kFrameSubmitted, 1, 99.95));
  reporting.ProcessEvents([](TelemetryEvent**, int32_t) {}, 0);
  reporting.Enqueue(MakeRecord(kFrameSubmitted, 2, 10.0));
  reporting.ProcessEvents([](TelemetryEvent**, int32_t) {}, 0);
  ASSERT_EQ(reporting.Errors().size(), 1u);
  EXPECT_EQ(reporting.Errors()[0].code, kOutOfOrderError);
  EXPECT_EQ(reporting.Errors()[0].message, "1 events out-of-order");
}

TEST_F(ListenerConnectionTest, DestructionStopsTheReceiveThreadWithoutWaitingForItsTimeout) {
  ConnectAndAccept();
  const auto start = std::chrono::steady_clock::now();
  listener_.reset();
  // The receive thread waits 2 s at a time for data; teardown wakes it instead.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace LUX::Telemetry
