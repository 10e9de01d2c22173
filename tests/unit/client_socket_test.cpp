#include "events/client_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/telemetry_records.h"

// The listener's ring, fed record by record under a clock the test sets: ordering, hold-back,
// overflow, batching and wake-ups. The stream side is in client_socket_connection_test.cpp.

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

  std::vector<std::string> ErrorMessages(int32_t code) const {
    std::vector<std::string> messages;
    for (const ListenerError& error : listener_->Errors()) {
      if (error.code == code) messages.push_back(error.message);
    }
    return messages;
  }

  std::atomic<double> now_{100.0};
  std::unique_ptr<TClientSocket> listener_ =
      std::make_unique<TClientSocket>([this] { return now_.load(); });
  std::vector<int32_t> batchSizes_;
  std::vector<TelemetryEvent> delivered_;
};

TEST_F(ListenerRingTest, HoldsARecordBackUntilItIsOldEnough) {
  Add(1, 0.0);  // not stamped: takes the arrival time, 100.0
  EXPECT_TRUE(Process().empty());
  now_ = 100.14;
  EXPECT_TRUE(Process().empty());
  now_ = 100.16;
  EXPECT_EQ(Process(), std::vector<uint32_t>{1});
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_EQ(delivered_[0].timestamp, 100.0);
  EXPECT_TRUE(Process().empty());  // delivered once only
}

TEST_F(ListenerRingTest, DeliversRecordsUnchangedInArrivalOrder) {
  TelemetryEvent record = MakeRecord(kEngineIdentification, 1, 50.0);
  record.reserved = 0xDEADBEEF;
  testsupport::WritePayloadText(record, 4, "Unreal");
  listener_->Enqueue(record);
  Add(2, 50.5);
  Add(3, 50.5);
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(std::memcmp(&delivered_[0], &record, sizeof record), 0);
}

TEST_F(ListenerRingTest, FutureTimestampTakesItsPredecessors) {
  Add(1, 99.0);
  Add(2, 100.5);  // more than 0.15 s ahead of the clock
  Add(3, 100.1);  // ahead, but within 0.15 s: kept
  now_ = 100.2;
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(delivered_[1].timestamp, 99.0);
  now_ = 100.3;
  EXPECT_EQ(Process(), std::vector<uint32_t>{3});
}

TEST_F(ListenerRingTest, ATimeThatIsNotFiniteCountsAsOneInTheFuture) {
  Add(1, 99.0);
  Add(2, std::nan(""));
  Add(3, -std::numeric_limits<double>::infinity());
  Add(4, 99.5);
  now_ = 100.0;
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2, 3, 4}));
  EXPECT_EQ(delivered_[1].timestamp, 99.0);
  EXPECT_EQ(delivered_[2].timestamp, 99.0);
}

TEST_F(ListenerRingTest, LateRecordStillYoungerThanTheCutOffIsMovedIntoOrder) {
  Add(1, 99.95);
  Add(2, 99.99);
  Add(3, 99.90);  // late, but not older than 100.0 - 0.15
  Add(4, 99.87);
  EXPECT_TRUE(Process().empty());
  now_ = 100.2;
  EXPECT_EQ(Process(), (std::vector<uint32_t>{4, 3, 1, 2}));
  EXPECT_TRUE(listener_->Errors().empty());
}

TEST_F(ListenerRingTest, LateRecordOlderThanTheCutOffIsCountedAndLeftInPlace) {
  Add(1, 99.95);
  EXPECT_TRUE(Process().empty());
  Add(2, 99.80);
  Add(3, 99.70);
  EXPECT_TRUE(Process().empty());
  EXPECT_EQ(ErrorMessages(kOutOfOrderError), std::vector<std::string>{"2 events out-of-order"});
  now_ = 100.2;
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(ErrorMessages(kOutOfOrderError).size(), 1u);  // the count started again
}

TEST_F(ListenerRingTest, LateRecordNeverMovesIntoTheDeliveredPart) {
  Add(1, 99.0);
  EXPECT_EQ(Process(), std::vector<uint32_t>{1});
  now_ = 99.1;  // a clock that stepped back lets a late record look young
  Add(2, 98.99);
  EXPECT_TRUE(Process().empty());
  EXPECT_EQ(ErrorMessages(kOutOfOrderError), std::vector<std::string>{"1 events out-of-order"});
  now_ = 99.2;
  EXPECT_EQ(Process(), std::vector<uint32_t>{2});
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

TEST_F(ListenerRingTest, BatchEndsAtTheFirstRecordThatIsTooYoung) {
  Add(1, 99.0);
  Add(2, 99.5);
  Add(3, 99.95);  // too young
  Add(4, 99.0);   // late and old: counted, left behind the young one
  EXPECT_EQ(Process(), (std::vector<uint32_t>{1, 2}));
  now_ = 100.2;
  EXPECT_EQ(Process(), (std::vector<uint32_t>{3, 4}));
}

TEST_F(ListenerRingTest, WakesTheWaiterAfterEvery20ReleasedRecords) {
  EXPECT_FALSE(listener_->WaitForEvents(0));
  for (uint32_t i = 0; i < 19; ++i) Add(i, 50.0);
  EXPECT_FALSE(listener_->WaitForEvents(0));
  Add(19, 50.0);
  EXPECT_TRUE(listener_->WaitForEvents(0));
  EXPECT_FALSE(listener_->WaitForEvents(0));  // the wake-up is taken by one wait

  // Young records are released by a later arrival, once they are old enough.
  for (uint32_t i = 0; i < 20; ++i) Add(i, 0.0);
  EXPECT_FALSE(listener_->WaitForEvents(0));
  now_ = 100.2;
  Add(20, 0.0);
  EXPECT_TRUE(listener_->WaitForEvents(0));
}

TEST_F(ListenerRingTest, WaitEndsWhenAnotherThreadReleasesRecords) {
  EXPECT_FALSE(listener_->WaitForEvents(10));
  std::thread feeder([this] {
    for (uint32_t i = 0; i < 20; ++i) Add(i, 50.0);
  });
  EXPECT_TRUE(listener_->WaitForEvents(10000));
  feeder.join();
}

TEST_F(ListenerRingTest, WaitWithoutLimitReturnsOnceRecordsAreReady) {
  for (uint32_t i = 0; i < 20; ++i) Add(i, 50.0);
  EXPECT_TRUE(listener_->WaitForEvents(-1));
}

TEST_F(ListenerRingTest, OwnedObjectPointerFromTheWireIsCleared) {
  TelemetryEvent record = MakeRecord(kObjectOwningEvent, 7, 50.0);
  WritePayload<uint64_t, kOwnedObjectOffset>(record, 0x1234567890ABCDEFull);
  WritePayload<uint32_t, 16>(record, 42);
  listener_->Enqueue(record);
  Process();
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_EQ((ReadPayload<uint64_t, kOwnedObjectOffset>(delivered_[0])), 0u);
  EXPECT_EQ((ReadPayload<uint32_t, 16>(delivered_[0])), 42u);
  EXPECT_EQ(EventProcessId(delivered_[0]), 7u);
}

TEST_F(ListenerRingTest, ProcessEventsMarksEveryErrorTaken) {
  Add(1, 99.95);
  Process();
  Add(2, 10.0);
  Process();
  const std::vector<ListenerError> errors = listener_->Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].taken);
  EXPECT_EQ(listener_->Counters().recordsSorted, 2u);
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

}  // namespace
}  // namespace LUX::Telemetry
