#include "ipc/ring.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace IPC {
namespace {

using platform::Event;
using platform::EventReset;

// A ring of eight blocks (seven usable at once) with its writer and reader.
class RingTest : public testing::Test {
 protected:
  static constexpr uint32_t kBlocks = 8;

  // A message of exactly `length` bytes: the tagging byte and `length` - 1 bytes of `fill`.
  bool Write(size_t length, uint8_t fill) {
    std::optional<IpcBuffer> buffer = writer_.Reserve();
    if (!buffer) return false;
    buffer->WriteRaw(std::vector<uint8_t>(length - 1, fill));
    return writer_.Commit(*buffer);
  }
  bool Write(const std::vector<uint8_t>& payload) {
    std::optional<IpcBuffer> buffer = writer_.Reserve();
    return buffer && buffer->WriteRaw(payload) && writer_.Commit(*buffer);
  }
  static std::vector<uint8_t> Payload(std::span<const uint8_t> message) {
    return {message.begin() + 1, message.end()};
  }
  uint32_t Index(uint32_t offset) const {
    uint32_t value = 0;
    std::memcpy(&value, memory_.data() + offset, sizeof value);
    return value;
  }
  void SetIndex(uint32_t offset, uint32_t value) {
    std::memcpy(memory_.data() + offset, &value, sizeof value);
  }
  void SetHeader(uint32_t block, const FragmentHeader& header) {
    std::memcpy(memory_.data() + kRingHeaderBytes + block * kBlockBytes, &header, sizeof header);
  }

  std::vector<uint8_t> memory_ = std::vector<uint8_t>(kRingHeaderBytes + kBlocks * kBlockBytes);
  Event data_ = *Event::Create(EventReset::kAuto);
  Event space_ = *Event::Create(EventReset::kAuto);
  Event stop_ = *Event::Create(EventReset::kManual);
  std::array<platform::Waitable*, 1> stops_ = {&stop_};
  RingWriter writer_{memory_, data_, space_, stops_};
  RingReader reader_{memory_, data_, space_, stops_};
};

// The headers' fields are judged by the reader (the corrupt-ring cases pin what it accepts).
TEST_F(RingTest, AMessageOf112BytesTakesOneBlockAndOneOf113TakesTwo) {
  ASSERT_TRUE(Write(112, 'a'));
  EXPECT_EQ(Index(kWriteIndexOffset), 1u);
  EXPECT_TRUE(data_.Wait(0));
  ASSERT_TRUE(Write(113, 'b'));
  EXPECT_EQ(Index(kWriteIndexOffset), 3u);

  const auto one = reader_.TryRead();
  ASSERT_TRUE(one);
  EXPECT_EQ(one->size(), 112u);
  EXPECT_EQ(Payload(*one), std::vector<uint8_t>(111, 'a'));
  const auto two = reader_.TryRead();
  ASSERT_TRUE(two);
  EXPECT_EQ(Payload(*two), std::vector<uint8_t>(112, 'b'));
  EXPECT_FALSE(reader_.TryRead());
  EXPECT_EQ(Index(kReadIndexOffset), 3u);
  EXPECT_FALSE(reader_.Failed());
}

TEST_F(RingTest, ASingleFragmentIsHandedOutInPlaceAndReleasedLater) {
  ASSERT_TRUE(Write(50, 'x'));
  const auto message = reader_.TryRead();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->data(), memory_.data() + kRingHeaderBytes + kFragmentHeaderBytes);
  EXPECT_EQ(Index(kReadIndexOffset), 0u);  // not released while in use
  EXPECT_FALSE(space_.Wait(0));
  reader_.Release();
  EXPECT_EQ(Index(kReadIndexOffset), 1u);
  EXPECT_TRUE(space_.Wait(0));
  reader_.Release();  // nothing new: no signal
  EXPECT_FALSE(space_.Wait(0));
}

TEST_F(RingTest, OneBlockAlwaysStaysFree) {
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(Write(10, static_cast<uint8_t>(i)));
  EXPECT_EQ(Index(kWriteIndexOffset), 7u);
  stop_.Set();  // the ring is full: a reservation would wait, the stop ends it
  EXPECT_FALSE(writer_.Reserve());
  EXPECT_FALSE(writer_.Failed());
  stop_.Reset();

  ASSERT_TRUE(reader_.TryRead());
  reader_.Release();
  ASSERT_TRUE(Write(10, 7));  // the last block, then the write index goes back to 0
  EXPECT_EQ(Index(kWriteIndexOffset), 0u);
  stop_.Set();
  EXPECT_FALSE(writer_.Reserve());  // read index 1, write index 0: full again
  stop_.Reset();
  for (uint8_t expected = 1; expected <= 7; ++expected) {
    const auto message = reader_.TryRead();
    ASSERT_TRUE(message);
    EXPECT_EQ((*message)[1], expected);
  }
  EXPECT_FALSE(reader_.TryRead());
}

TEST_F(RingTest, WrapsAroundManyTimesWithoutLosingABit) {
  for (uint32_t round = 0; round < 200; ++round) {
    std::vector<uint8_t> payload(1 + (round * 37) % 400);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(round + i);
    ASSERT_TRUE(Write(payload)) << round;
    const auto message = reader_.TryRead();
    ASSERT_TRUE(message) << round;
    EXPECT_EQ(Payload(*message), payload) << round;
    EXPECT_LT(Index(kWriteIndexOffset), kBlocks);
  }
  EXPECT_FALSE(reader_.Failed());
  EXPECT_FALSE(writer_.Failed());
}

TEST_F(RingTest, AMessageLargerThanTheRingTravelsInFragmentsAndAWaitEndsOnTheStopSignal) {
  std::vector<uint8_t> payload(5000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  std::thread writer([&] { EXPECT_TRUE(Write(payload)); });
  const auto message = reader_.Read();
  writer.join();
  ASSERT_TRUE(message);
  EXPECT_EQ(Payload(*message), payload);
  ASSERT_TRUE(Write(20, 9));  // the next message has the next sequence number
  const auto next = reader_.Read();
  ASSERT_TRUE(next);
  EXPECT_EQ(Payload(*next), std::vector<uint8_t>(19, 9));
  std::thread stopper([&] { stop_.Set(); });  // a waiting read ends on the stop signal
  EXPECT_FALSE(reader_.Read());
  stopper.join();
  EXPECT_FALSE(reader_.Failed());
}

struct CorruptCase {
  const char* name;
  uint32_t writeIndex;
  FragmentHeader header;
  std::optional<FragmentHeader> atBlock2 = std::nullopt;  // a continuation
};

void PrintTo(const CorruptCase& corrupt, std::ostream* out) { *out << corrupt.name; }

class CorruptRingTest : public RingTest, public testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptRingTest, StopsTheReader) {
  SetHeader(0, GetParam().header);
  if (GetParam().atBlock2) SetHeader(2, *GetParam().atBlock2);
  SetIndex(kWriteIndexOffset, GetParam().writeIndex);
  EXPECT_FALSE(reader_.TryRead());
  EXPECT_TRUE(reader_.Failed());
  // A valid message later does not revive it.
  SetHeader(0, {1, 0, 0, 10});
  SetIndex(kWriteIndexOffset, 1);
  EXPECT_FALSE(reader_.TryRead());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CorruptRingTest,
    testing::Values(
        CorruptCase{"ZeroBlocks", 1, {0, 0, 0, 10}},
        CorruptCase{"MoreBlocksThanWritten", 1, {2, 0, 0, 10}},
        CorruptCase{"MoreBlocksThanTheRingHas", 7, {9, 0, 0, 10}},
        CorruptCase{"WrongSequence", 1, {1, 1, 0, 10}},
        CorruptCase{"OffsetNotBelowTotal", 1, {1, 0, 10, 10}},
        CorruptCase{"ZeroTotal", 1, {1, 0, 0, 0}},
        CorruptCase{"TotalAboveLimit", 1, {1, 0, 0, 0x40000001}},
        CorruptCase{"FirstFragmentNotAtOffsetZero", 1, {1, 0, 5, 200}},
        CorruptCase{"WriteIndexOutsideTheRing", 8, {1, 0, 0, 10}},
        // 240 of 400 bytes, then a continuation that does not go on at 240.
        CorruptCase{"ContinuationAtAnotherOffset", 4, {2, 0, 0, 400}, {{2, 0, 200, 400}}},
        CorruptCase{"ContinuationWithAnotherTotal", 4, {2, 0, 0, 400}, {{2, 0, 240, 500}}}),
    [](const testing::TestParamInfo<CorruptCase>& info) { return info.param.name; });

TEST_F(RingTest, AnIncompleteMessageWaitsForItsLastFragment) {
  SetHeader(0, {2, 0, 0, 300});
  SetIndex(kWriteIndexOffset, 2);
  EXPECT_FALSE(reader_.TryRead());
  EXPECT_FALSE(reader_.Failed());
  EXPECT_EQ(Index(kReadIndexOffset), 2u);
  SetHeader(2, {1, 0, 240, 300});
  SetIndex(kWriteIndexOffset, 3);
  const auto message = reader_.TryRead();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->size(), 300u);
}

TEST_F(RingTest, AReadIndexOutsideTheRingStopsTheWriter) {
  SetIndex(kReadIndexOffset, kBlocks);
  EXPECT_FALSE(writer_.Reserve());
  EXPECT_TRUE(writer_.Failed());
}

}  // namespace
}  // namespace IPC
