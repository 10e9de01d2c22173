#include "events/client_socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "events/packet_format.h"
#include "events/packet_reader.h"
#include "support/loopback_server.h"
#include "support/telemetry_records.h"
#include "support/wait_until.h"

// The realtime event listener: its ring, fed record by record under a clock the test sets
// (ordering, hold-back, overflow, batching and wake-ups), the packets of the stream, and the
// stream itself over a real loopback connection.

namespace LUX::Telemetry {
namespace {

using testsupport::MakeRecord;

constexpr uint32_t kRingCapacity = TClientSocket::kSlotCount - 1;

class ListenerRingTest : public testing::Test {
 protected:
  void Add(uint32_t sequence, double timestamp) {
    listener_->Enqueue(MakeRecord(kFrameSubmitted, sequence, timestamp));
  }

  /// Runs ProcessEvents; returns the sequence numbers delivered, and notes the batch sizes.
  std::vector<uint32_t> Process(int32_t maxBatchCount = 0) {
    std::vector<uint32_t> sequences;
    batchSizes_.clear();
    listener_->ProcessEvents(
        [&](TelemetryEvent** events, int32_t count) {
          batchSizes_.push_back(count);
          for (int32_t i = 0; i < count; ++i) {
            sequences.push_back(EventProcessId(*events[i]));
            delivered_.push_back(*events[i]);
          }
        },
        maxBatchCount);
    return sequences;
  }

  /// The messages of the errors of `code`, or of every error.
  std::vector<std::string> ErrorMessages(std::optional<int32_t> code = std::nullopt) const {
    std::vector<std::string> messages;
    for (const ListenerError& error : listener_->Errors()) {
      if (!code || error.code == *code) messages.push_back(error.message);
    }
    return messages;
  }

  std::atomic<double> now_{100.0};
  std::unique_ptr<TClientSocket> listener_ =
      std::make_unique<TClientSocket>([this] { return now_.load(); });
  std::vector<int32_t> batchSizes_;
  std::vector<TelemetryEvent> delivered_;
};

TEST_F(ListenerRingTest, DeliversRecordsUnchangedInArrivalOrderOnceTheyAreOldEnough) {
  Add(1, 0.0);  // not stamped: takes the arrival time, 100.0
  now_ = 100.14;
  EXPECT_TRUE(Process().empty());
  now_ = 100.16;
  EXPECT_EQ(Process(), std::vector<uint32_t>{1});
  EXPECT_EQ(delivered_[0].timestamp, 100.0);
  EXPECT_TRUE(Process().empty());  // delivered once only
  TelemetryEvent record = MakeRecord(kEngineIdentification, 2, 50.0);
  record.reserved = 0xDEADBEEF;
  testsupport::WritePayloadText(record, 4, "Unreal");
  listener_->Enqueue(record);
  Add(3, 50.5);
  // The owned-object pointer of a record from the wire is cleared, nothing else.
  TelemetryEvent owning = MakeRecord(kObjectOwningEvent, 4, 50.5);
  WritePayload<uint64_t, kOwnedObjectOffset>(owning, 0x1234567890ABCDEFull);
  WritePayload<uint32_t, 16>(owning, 42);
  listener_->Enqueue(owning);
  EXPECT_EQ(Process(), (std::vector<uint32_t>{2, 3, 4}));
  EXPECT_EQ(std::memcmp(&delivered_[1], &record, sizeof record), 0);
  EXPECT_EQ((ReadPayload<uint64_t, kOwnedObjectOffset>(delivered_[3])), 0u);
  EXPECT_EQ((ReadPayload<uint32_t, 16>(delivered_[3])), 42u);
}

// Each step sets the clock, adds records (sequence, timestamp) and delivers what is due.
TEST_F(ListenerRingTest, LateFutureAndTimelessRecordsArePutInOrderOrCountedAsOutOfOrder) {
  struct Step {
    double now;
    std::vector<std::pair<uint32_t, double>> added;
    std::vector<uint32_t> delivered;
  };
  const double nan = std::nan("");
  const double minusInfinity = -std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> reports;
  } cases[] = {
      // More than 0.15 s ahead of the clock, or no time at all; 5 is ahead, but within 0.15 s.
      {"future or not finite: the predecessor's time",
       {{100.0, {{1, 99.0}, {2, 100.5}, {3, nan}, {4, minusInfinity}, {5, 100.1}}, {1, 2, 3, 4}},
        {100.3, {}, {5}}},
       {}},
      {"late, but younger than the cut-off: moved into order",
       {{100.0, {{1, 99.95}, {2, 99.99}, {3, 99.90}, {4, 99.87}}, {}}, {100.2, {}, {4, 3, 1, 2}}},
       {}},
      // Reported once, by the delivery that found them.
      {"late and older than the cut-off: counted, left in place",
       {{100.0, {{1, 99.95}}, {}}, {100.0, {{2, 99.80}, {3, 99.70}}, {}}, {100.2, {}, {1, 2, 3}}},
       {"2 events out-of-order"}},
      // A clock that stepped back lets a late record look young.
      {"never moved into the delivered part",
       {{100.0, {{1, 99.0}}, {1}}, {99.1, {{2, 98.99}}, {}}, {99.2, {}, {2}}},
       {"1 events out-of-order"}},
      // 3 is too young; 4 is late and old, left behind it.
      {"a batch ends at the first record that is too young",
       {{100.0, {{1, 99.0}, {2, 99.5}, {3, 99.95}, {4, 99.0}}, {1, 2}}, {100.2, {}, {3, 4}}},
       {"1 events out-of-order"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    listener_ = std::make_unique<TClientSocket>([this] { return now_.load(); });
    for (const Step& step : c.steps) {
      now_ = step.now;
      for (const auto& [sequence, timestamp] : step.added) Add(sequence, timestamp);
      EXPECT_EQ(Process(), step.delivered) << step.now;
    }
    EXPECT_EQ(ErrorMessages(kOutOfOrderError), c.reports);
    for (const ListenerError& error : listener_->Errors()) EXPECT_TRUE(error.taken);
  }
}

TEST_F(ListenerRingTest, FullRingDropsTheOldestAndReportsTheLoss) {
  for (uint32_t i = 0; i < kRingCapacity; ++i) Add(i, 50.0 + i * 0.001);
  EXPECT_EQ(listener_->Counters().ringOverflows, 0u);
  for (uint32_t i = kRingCapacity; i < kRingCapacity + 5; ++i) Add(i, 50.0 + i * 0.001);
  EXPECT_EQ(listener_->Counters().ringOverflows, 5u);
  EXPECT_EQ(listener_->Counters().recordsReceived, kRingCapacity + 5u);

  const std::vector<uint32_t> sequences = Process();
  ASSERT_EQ(sequences.size(), kRingCapacity);
  EXPECT_EQ(sequences.front(), 5u);
  EXPECT_EQ(sequences.back(), kRingCapacity + 4);
  EXPECT_EQ(ErrorMessages(kLostEventsError), std::vector<std::string>{"Lost 5 events"});
  Process();
  EXPECT_EQ(ErrorMessages(kLostEventsError).size(), 1u);  // reported once
}

TEST_F(ListenerRingTest, FillingUpWhileAnotherThreadDeliversLosesOnlyTheOldestAndKeepsTheOrder) {
  constexpr uint32_t kSent = 20 * kRingCapacity;
  std::thread feeder([this] {
    for (uint32_t i = 0; i < kSent; ++i) Add(i, 50.0 + i * 1e-6);
  });
  std::vector<uint32_t> delivered;
  for (;;) {
    const bool fed = listener_->Counters().recordsReceived == kSent;
    const std::vector<uint32_t> batch = Process(1);
    delivered.insert(delivered.end(), batch.begin(), batch.end());
    if (fed && batch.empty()) break;
  }
  feeder.join();
  EXPECT_EQ(delivered.size() + listener_->Counters().ringOverflows, kSent);
  EXPECT_TRUE(std::is_sorted(delivered.begin(), delivered.end()));
  EXPECT_EQ(std::adjacent_find(delivered.begin(), delivered.end()), delivered.end());
  EXPECT_EQ(delivered.back(), kSent - 1);
}

TEST_F(ListenerRingTest, DropsWhileRecordsWaitForTheirAgeAndOrder) {
  // Young records fill the ring; the oldest give way, unsorted and unreleased alike. Two
  // arrive late, one before the ring fills and one after, and both are still put in order.
  const uint32_t last = kRingCapacity + 2;
  for (uint32_t i = 0; i < last; ++i) Add(i, 99.9 + (i == 100 ? 98.5 : i) * 0.00001);
  Add(last, 99.9 + 5.5 * 0.00001);
  EXPECT_TRUE(Process().empty());
  now_ = 101.0;
  const std::vector<uint32_t> sequences = Process();
  ASSERT_EQ(sequences.size(), kRingCapacity);
  EXPECT_EQ(std::vector<uint32_t>(sequences.begin(), sequences.begin() + 5),
            (std::vector<uint32_t>{3, 4, 5, last, 6}));
  EXPECT_EQ(std::vector<uint32_t>(sequences.begin() + 95, sequences.begin() + 99),
            (std::vector<uint32_t>{97, 98, 100, 99}));
  EXPECT_EQ(sequences.back(), last - 1);
  EXPECT_EQ(ErrorMessages(kLostEventsError), std::vector<std::string>{"Lost 3 events"});
  EXPECT_TRUE(ErrorMessages(kOutOfOrderError).empty());
}

TEST_F(ListenerRingTest, DeliversInBatchesOf64AndAtMostTheAskedNumberOfBatches) {
  for (uint32_t i = 0; i < kRingCapacity; ++i) Add(i, 50.0);
  EXPECT_EQ(Process(3).size(), 3u * 64);
  EXPECT_EQ(batchSizes_, (std::vector<int32_t>{64, 64, 64}));

  // 0 asks for 35 batches: enough for the rest of a full ring.
  const std::vector<uint32_t> rest = Process(0);
  EXPECT_EQ(rest.size(), kRingCapacity - 3u * 64);
  EXPECT_EQ(rest.front(), 192u);
  EXPECT_EQ(batchSizes_.size(), 32u);
  EXPECT_EQ(batchSizes_.back(), static_cast<int32_t>((kRingCapacity - 192) % 64));

  for (uint32_t i = 0; i < kRingCapacity; ++i) Add(i, 60.0);
  EXPECT_TRUE(Process(-1).empty());
  EXPECT_EQ(Process(0).size(), kRingCapacity);
  EXPECT_EQ(batchSizes_.size(), 35u);
}

TEST_F(ListenerRingTest, WakesTheWaiterAfterEvery20ReleasedRecords) {
  EXPECT_FALSE(listener_->WaitForEvents(0));
  for (uint32_t i = 0; i < 19; ++i) Add(i, 50.0);
  EXPECT_FALSE(listener_->WaitForEvents(0));
  Add(19, 50.0);
  EXPECT_TRUE(listener_->WaitForEvents(-1));  // without a limit too
  EXPECT_FALSE(listener_->WaitForEvents(0));  // the wake-up is taken by one wait
  // Young records are released by a later arrival, once they are old enough.
  for (uint32_t i = 0; i < 20; ++i) Add(i, 0.0);
  EXPECT_FALSE(listener_->WaitForEvents(0));
  now_ = 100.2;
  Add(20, 0.0);
  EXPECT_TRUE(listener_->WaitForEvents(0));
}

TEST(ListenerErrorList, KeepsTheNewest63) {
  ListenerErrorList errors;
  for (int i = 0; i < 70; ++i) errors.Add(kConnectionError, std::to_string(i));
  const std::vector<ListenerError> kept = errors.Snapshot();
  ASSERT_EQ(kept.size(), 63u);
  EXPECT_EQ(kept.front().message, "7");
  EXPECT_EQ(kept.back().message, "69");
  EXPECT_FALSE(kept.back().taken);
  errors.MarkAllTaken();
  EXPECT_TRUE(errors.Snapshot().front().taken);
}

using testsupport::LoopbackServer;
using testsupport::PacketHeader;
using testsupport::WaitUntil;

std::vector<std::byte> PacketOf(uint32_t firstSequence, uint32_t count) {
  std::vector<TelemetryEvent> records;
  for (uint32_t i = 0; i < count; ++i) {
    records.push_back(MakeRecord(kFrameSubmitted, firstSequence + i, 1.5));
  }
  return EncodePacket(records);
}

// The listener on a real loopback connection.
class ListenerConnectionTest : public ListenerRingTest {
 protected:
  void ConnectAndAccept() {
    ASSERT_NE(server_.Port(), 0);
    ASSERT_TRUE(listener_->Connect(server_.Port(), true));  // out-of-order records unreported
    ASSERT_TRUE(server_.Accept());
  }

  LoopbackServer server_;
};

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

TEST_F(ListenerConnectionTest, OutOfOrderRecordsAreNotReportedWhenTheConnectRequestSaysSo) {
  ConnectAndAccept();
  listener_->Enqueue(MakeRecord(kFrameSubmitted, 1, 99.95));
  Process();
  listener_->Enqueue(MakeRecord(kFrameSubmitted, 2, 10.0));
  Process();
  EXPECT_TRUE(listener_->Errors().empty());  // reported otherwise: ListenerRingTest
}

TEST_F(ListenerConnectionTest, DestructionStopsTheReceiveThreadWithoutWaitingForItsTimeout) {
  ConnectAndAccept();
  const auto start = std::chrono::steady_clock::now();
  listener_.reset();
  // The receive thread waits 2 s at a time for data; teardown wakes it instead.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(PacketFormat, HeaderIsWellFormedOnlyWhenSizeMatchesABoundedCount) {
  EXPECT_TRUE(IsWellFormedHeader(16, 0));
  EXPECT_TRUE(IsWellFormedHeader(16 + 112 * 3, 3));
  EXPECT_FALSE(IsWellFormedHeader(16 + 112 * 4, 3));
  EXPECT_TRUE(IsWellFormedHeader(16 + 112 * 9999, 9999));
  EXPECT_FALSE(IsWellFormedHeader(16 + 112 * 10000, 10000));
  // 112 x 2^60 wraps to 0: the size matches, the count bound rejects it.
  EXPECT_FALSE(IsWellFormedHeader(16, uint64_t{1} << 60));
}

std::vector<std::byte> Join(std::initializer_list<std::vector<std::byte>> parts) {
  std::vector<std::byte> joined;
  for (const std::vector<std::byte>& part : parts)
    joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

std::vector<uint32_t> Sequences(uint32_t first, uint32_t count) {
  std::vector<uint32_t> sequences(count);
  std::iota(sequences.begin(), sequences.end(), first);
  return sequences;
}

// The stream's bytes go into the reader as the receive thread puts them, in receives that end
// at `ends`; what each Commit returns, the records delivered and the bytes left buffered.
TEST(PacketReader, DeliversWholePacketsAsTheyCompleteAndStopsAtAMalformedHeader) {
  const std::vector<std::byte> three = PacketOf(1, 3);  // 352 bytes
  const std::vector<std::byte> six = Join({PacketOf(1, 2), PacketOf(3, 3), PacketOf(6, 1)});
  // Announces 3 records with the size of 4, then a good packet: 592 bytes.
  const std::vector<std::byte> malformed =
      Join({PacketHeader(16 + 112 * 4, 3), std::vector<std::byte>(112 * 4), PacketOf(1, 1)});
  // A wrapped size: 2^60 records of 112 bytes claim 16 bytes in all.
  const std::vector<std::byte> wrapped = Join({PacketOf(1, 2), PacketHeader(16, 1ull << 60)});
  // An empty packet, one with a record, a header with size zero and a good packet.
  const std::vector<std::byte> empty = Join({PacketHeader(16, 0), PacketHeader(16, 0),
                                             PacketOf(9, 1), PacketHeader(0, 0), PacketOf(1, 1)});
  const std::vector<std::byte> largest = PacketOf(1, 128);
  const struct {
    const std::vector<std::byte>& bytes;
    std::vector<size_t> ends;
    std::vector<bool> wellFormed;
    std::vector<uint32_t> sequences;
    size_t buffered;
  } cases[] = {
      {three, {10, 210, 351, 352}, {true, true, true, true}, {1, 2, 3}, 0},  // with its last byte
      {six, {660, 720}, {true, true}, Sequences(1, 6), 0},          // two and a half, then the rest
      {malformed, {100, 500, 592}, {true, false, false}, {}, 592},  // stays, met on every arrival
      {wrapped, {256}, {false}, {1, 2}, 16},
      {empty, {16, 160, 304}, {true, true, true}, {9}, 144},  // size zero waits forever
      // A larger packet fills the buffer without delivering:
      // ListenerConnectionTest.PacketLargerThanTheBufferEndsTheStreamWithoutError.
      {largest, {16 + 112 * 128}, {true}, Sequences(1, 128), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.ends));
    PacketReader reader;
    std::vector<uint32_t> sequences;
    std::vector<bool> wellFormed;
    size_t start = 0;
    for (const size_t end : c.ends) {
      const std::span<std::byte> space = reader.FreeSpace();
      ASSERT_LE(end - start, space.size());
      std::copy(c.bytes.begin() + static_cast<long>(start),
                c.bytes.begin() + static_cast<long>(end), space.begin());
      wellFormed.push_back(reader.Commit(end - start, [&](const TelemetryEvent& record) {
        sequences.push_back(EventProcessId(record));
      }));
      start = end;
    }
    EXPECT_EQ(wellFormed, c.wellFormed);
    EXPECT_EQ(sequences, c.sequences);
    EXPECT_EQ(reader.BufferedBytes(), c.buffered);
  }
}

}  // namespace
}  // namespace LUX::Telemetry
