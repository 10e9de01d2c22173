#include "events/packet_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "events/packet_format.h"
#include "support/telemetry_records.h"

namespace LUX::Telemetry {
namespace {

using testsupport::MakeRecord;
using testsupport::PacketHeader;

std::vector<std::byte> Packet(std::initializer_list<uint32_t> sequences) {
  std::vector<TelemetryEvent> records;
  for (uint32_t sequence : sequences) records.push_back(MakeRecord(kFrameSubmitted, sequence, 1.5));
  return EncodePacket(records);
}

std::vector<std::byte> Join(std::vector<std::byte> first, const std::vector<std::byte>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

/// Plays the receive thread: writes `bytes` into the reader as one receive.
class ReaderHarness {
 public:
  bool Receive(std::span<const std::byte> bytes) {
    const std::span<std::byte> space = reader.FreeSpace();
    EXPECT_LE(bytes.size(), space.size());
    std::copy(bytes.begin(), bytes.end(), space.begin());
    return reader.Commit(bytes.size(), [this](const TelemetryEvent& record) {
      sequences.push_back(EventProcessId(record));
      timestamps.push_back(record.timestamp);
    });
  }

  PacketReader reader;
  std::vector<uint32_t> sequences;
  std::vector<double> timestamps;
};

TEST(PacketFormat, HeaderIsWellFormedOnlyWhenSizeMatchesABoundedCount) {
  EXPECT_TRUE(IsWellFormedHeader(16, 0));
  EXPECT_TRUE(IsWellFormedHeader(16 + 112 * 3, 3));
  EXPECT_FALSE(IsWellFormedHeader(16 + 112 * 4, 3));
  EXPECT_TRUE(IsWellFormedHeader(16 + 112 * 9999, 9999));
  EXPECT_FALSE(IsWellFormedHeader(16 + 112 * 10000, 10000));
  // 112 x 2^60 wraps to 0: the size matches, the count bound rejects it.
  EXPECT_FALSE(IsWellFormedHeader(16, uint64_t{1} << 60));
}

TEST(PacketReader, PacketSplitOverReceivesIsDeliveredWholeWithItsLastByte) {
  ReaderHarness harness;
  const std::vector<std::byte> packet = Packet({1, 2, 3});
  const std::span<const std::byte> bytes(packet);
  EXPECT_TRUE(harness.Receive(bytes.first(10)));  // not even the header yet
  EXPECT_TRUE(harness.Receive(bytes.subspan(10, 200)));
  EXPECT_TRUE(harness.Receive(bytes.subspan(210, bytes.size() - 211)));
  EXPECT_TRUE(harness.sequences.empty());
  EXPECT_EQ(harness.reader.BufferedBytes(), packet.size() - 1);
  EXPECT_TRUE(harness.Receive(bytes.last(1)));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(harness.timestamps, (std::vector<double>{1.5, 1.5, 1.5}));
  EXPECT_EQ(harness.reader.BufferedBytes(), 0u);
}

TEST(PacketReader, SeveralPacketsInOneReceiveAreAllDelivered) {
  ReaderHarness harness;
  const std::vector<std::byte> next = Packet({6});
  const auto bytes = Join(Join(Packet({1, 2}), Packet({3, 4, 5})), next);
  // All of the first two packets and half of the third arrive together.
  EXPECT_TRUE(harness.Receive(std::span(bytes).first(bytes.size() - 60)));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(harness.reader.BufferedBytes(), next.size() - 60);
  EXPECT_TRUE(harness.Receive(std::span(bytes).last(60)));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(PacketReader, MalformedHeaderStaysAndIsMetAgainOnEveryArrival) {
  ReaderHarness harness;
  // Announces 3 records with the size of 4, then a good packet behind it.
  const auto bytes =
      Join(Join(PacketHeader(16 + 112 * 4, 3), std::vector<std::byte>(112 * 4)), Packet({1}));
  EXPECT_TRUE(harness.Receive(std::span(bytes).first(100)));  // size not reached: no verdict
  EXPECT_FALSE(harness.Receive(std::span(bytes).subspan(100, 400)));
  EXPECT_FALSE(harness.Receive(std::span(bytes).subspan(500)));
  EXPECT_TRUE(harness.sequences.empty());
  EXPECT_EQ(harness.reader.BufferedBytes(), bytes.size());
}

TEST(PacketReader, MalformedHeaderAfterGoodPacketStopsAfterIt) {
  ReaderHarness harness;
  // A wrapped size: 2^60 records of 112 bytes claim 16 bytes in all.
  const auto bytes = Join(Packet({1, 2}), PacketHeader(16, uint64_t{1} << 60));
  EXPECT_FALSE(harness.Receive(bytes));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(harness.reader.BufferedBytes(), 16u);
}

TEST(PacketReader, AnEmptyPacketIsConsumedButAHeaderWithSizeZeroWaitsForever) {
  ReaderHarness harness;
  EXPECT_TRUE(harness.Receive(PacketHeader(16, 0)));
  EXPECT_EQ(harness.reader.BufferedBytes(), 0u);
  EXPECT_TRUE(harness.Receive(Join(PacketHeader(16, 0), Packet({9}))));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{9}));
  EXPECT_TRUE(harness.Receive(Join(PacketHeader(0, 0), Packet({1}))));
  EXPECT_EQ(harness.sequences, (std::vector<uint32_t>{9}));
}

TEST(PacketReader, PacketLargerThanTheBufferFillsItWithoutDelivering) {
  ReaderHarness harness;
  std::vector<TelemetryEvent> records(129, MakeRecord(kFrameSubmitted, 1, 1.0));
  const std::vector<std::byte> packet = EncodePacket(records);
  ASSERT_GT(packet.size(), PacketReader::kBufferBytes);
  EXPECT_TRUE(harness.Receive(std::span(packet).first(PacketReader::kBufferBytes)));
  EXPECT_TRUE(harness.reader.FreeSpace().empty());
  EXPECT_TRUE(harness.sequences.empty());

  // 128 records are the most one packet can carry.
  ReaderHarness largest;
  records.resize(128);
  EXPECT_TRUE(largest.Receive(EncodePacket(records)));
  EXPECT_EQ(largest.sequences.size(), 128u);
}

}  // namespace
}  // namespace LUX::Telemetry
