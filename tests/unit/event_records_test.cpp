#include "event_records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "events/payload_layout.h"

// The realtime event records of the simulated runtime, byte by byte.

namespace luxsim::records {
namespace {

using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::ReadPayloadText;

constexpr uint32_t kPid = 0x01020304;

// The payload bytes from `offset` on, `count` of them.
std::vector<uint8_t> Bytes(const TelemetryEvent& event, size_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  std::memcpy(bytes.data(), event.payload + offset, count);
  return bytes;
}

// True when every payload byte outside [first, last) is zero, apart from the process id.
bool RestIsZero(const TelemetryEvent& event, size_t first, size_t last) {
  for (size_t i = 4; i < LUX::Telemetry::kPayloadBytes; ++i) {
    if ((i < first || i >= last) && event.payload[i] != std::byte{0}) return false;
  }
  return event.reserved == 0;
}

SubmittedLayer Layer(int type) { return SubmittedLayer{.type = type}; }

TEST(EventRecords, ProcessEventsCarryTheTypeTheTimeAndTheProcess) {
  const TelemetryEvent event = ProcessEvent(LUX::Telemetry::kSessionCreated, kPid, 12.25);
  EXPECT_EQ(event.type, 26);
  EXPECT_DOUBLE_EQ(event.timestamp, 12.25);
  EXPECT_EQ(Bytes(event, 0, 4), (std::vector<uint8_t>{4, 3, 2, 1}));
  EXPECT_TRUE(RestIsZero(event, 0, 0));
}

TEST(EventRecords, SessionStatusHasSixFlagBytesFromOffsetFour) {
  const SessionStatus status{
      .visible = true, .hmdPresent = true, .displayLost = true, .shouldRecenter = true};
  const TelemetryEvent event = SessionStatusEvent(kPid, status, 1.0);
  EXPECT_EQ(event.type, 38);
  EXPECT_EQ(LUX::Telemetry::EventProcessId(event), kPid);
  EXPECT_EQ(Bytes(event, 4, 6), (std::vector<uint8_t>{1, 1, 0, 1, 0, 1}));
  EXPECT_TRUE(RestIsZero(event, 4, 10));
}

TEST(EventRecords, LayersHaveTheirCountAtFiveAndTheirKindsEveryTwentyBytesFromNine) {
  const TelemetryEvent event = LayersEvent(
      kPid,
      {Layer(luxLayerType_EyeFov), Layer(luxLayerType_HeadLockedQuad), Layer(luxLayerType_Quad)},
      1.0);
  EXPECT_EQ(event.type, 43);
  EXPECT_EQ((ReadPayload<uint8_t, 5>(event)), 3);
  EXPECT_EQ((ReadPayload<uint8_t, 9>(event)), 1);
  EXPECT_EQ((ReadPayload<uint8_t, 29>(event)), 4);
  EXPECT_EQ((ReadPayload<uint8_t, 49>(event)), 3);
  EXPECT_TRUE(RestIsZero(event, 5, 50));
  for (size_t offset : {6u, 7u, 8u, 10u, 28u, 30u}) {
    EXPECT_EQ(event.payload[offset], std::byte{0}) << offset;
  }
}

TEST(EventRecords, DisabledAndUnknownLayersAreLeftOutAndFiveKindsFit) {
  EXPECT_EQ(LayerKind(luxLayerType_Disabled), std::nullopt);
  EXPECT_EQ(LayerKind(17), std::nullopt);
  EXPECT_EQ(LayerKind(luxLayerType_EyeFovDepth), 2);
  EXPECT_EQ(LayerKind(luxLayerType_HeadLockedQuad), LUX::Telemetry::layout::kNotHeadTrackedLayer);

  const TelemetryEvent onlyDisabled = LayersEvent(kPid, {Layer(luxLayerType_Disabled)}, 1.0);
  EXPECT_EQ((ReadPayload<uint8_t, 5>(onlyDisabled)), 0);
  EXPECT_EQ((ReadPayload<uint8_t, 9>(onlyDisabled)), 0);

  std::vector<SubmittedLayer> many(7, Layer(luxLayerType_HeadLockedQuad));
  many.insert(many.begin(), Layer(luxLayerType_Disabled));
  const TelemetryEvent event = LayersEvent(kPid, many, 1.0);
  EXPECT_EQ((ReadPayload<uint8_t, 5>(event)), 5);
  for (size_t entry = 0; entry < 5; ++entry) {
    EXPECT_EQ(event.payload[9 + 20 * entry], std::byte{4}) << entry;
  }
}

TEST(EventRecords, RenderPoseValueAtEight) {
  const TelemetryEvent event = RenderPoseEvent(kPid, -0.035f, 1.0);
  EXPECT_EQ(event.type, 42);
  EXPECT_FLOAT_EQ((ReadPayload<float, 8>(event)), -0.035f);
  EXPECT_TRUE(RestIsZero(event, 8, 12));
}

TEST(EventRecords, RenderDescriptionHasTheEyeAndSevenPoseValues) {
  const luxPosef pose{{0.1f, 0.2f, 0.3f, 0.9f}, {0.032f, 0.5f, -0.25f}};
  const TelemetryEvent event = RenderDescEvent(kPid, luxEye_Right, pose, 1.0);
  EXPECT_EQ(event.type, 40);
  EXPECT_EQ((ReadPayload<int32_t, 4>(event)), 1);
  const auto values = ReadPayload<std::array<float, 7>, 8>(event);
  EXPECT_EQ(values, (std::array<float, 7>{0.1f, 0.2f, 0.3f, 0.9f, 0.032f, 0.5f, -0.25f}));
  EXPECT_TRUE(RestIsZero(event, 4, 36));
}

TEST(EventRecords, PropertyNamesAreCutToLeaveTheirNul) {
  EXPECT_EQ(ReadPayloadText(PropertyReadEvent(kPid, "EyeHeight", 1.0), 4, 92), "EyeHeight");
  const TelemetryEvent event = PropertyReadEvent(kPid, std::string(120, 'p'), 1.0);
  EXPECT_EQ(event.type, 44);
  EXPECT_EQ(ReadPayloadText(event, 4, 92), std::string(91, 'p'));
  EXPECT_EQ(event.payload[95], std::byte{0});
}

TEST(EventRecords, ClientConnectInfoHasTheBuildAtItsOffsets) {
  const ClientBuild build{
      .buildTool = 191627031, .product = 1, .major = 1, .minor = 43, .patch = 2, .buildNumber = 7};
  const TelemetryEvent event = ClientConnectInfoEvent(kPid, 43, build, 1.0);
  EXPECT_EQ(event.type, 17);
  EXPECT_EQ((ReadPayload<uint32_t, 4>(event)), 191627031u);
  EXPECT_EQ((ReadPayload<uint32_t, 8>(event)), 43u);
  EXPECT_EQ((ReadPayload<uint32_t, 12>(event)), 1u);
  EXPECT_EQ((ReadPayload<uint32_t, 16>(event)), 1u);
  EXPECT_EQ((ReadPayload<uint32_t, 20>(event)), 43u);
  EXPECT_EQ((ReadPayload<uint32_t, 24>(event)), 2u);
  EXPECT_EQ((ReadPayload<uint32_t, 28>(event)), 7u);
  EXPECT_TRUE(RestIsZero(event, 4, 32));
}

TEST(EventRecords, EngineTextsSitInTwentyByteSlotsEndedByANul) {
  const EngineIdentity engine{"Unity", "2019.4.31f1", "AVeryLongPluginNameIndeed", "1.43.0"};
  const TelemetryEvent event = EngineIdentificationEvent(kPid, engine, 1.0);
  EXPECT_EQ(event.type, 34);
  EXPECT_EQ(ReadPayloadText(event, 4, 20), "Unity");
  EXPECT_EQ(ReadPayloadText(event, 24, 20), "2019.4.31f1");
  EXPECT_EQ(ReadPayloadText(event, 44, 20), "AVeryLongPluginName");
  EXPECT_EQ(event.payload[63], std::byte{0});
  EXPECT_EQ(ReadPayloadText(event, 64, 20), "1.43.0");
  EXPECT_TRUE(RestIsZero(event, 4, 84));
}

TEST(EventRecords, ErrorsHaveCodeFlagTextAndTruncationAtTheirOffsets) {
  const TelemetryEvent event = RuntimeErrorEvent(kPid, -90011, "Transient", false, 1.0);
  EXPECT_EQ(event.type, 11);
  EXPECT_EQ((ReadPayload<int32_t, 8>(event)), -90011);
  EXPECT_EQ((ReadPayload<uint8_t, 16>(event)), 0);
  EXPECT_EQ(ReadPayloadText(event, 17, 64), "Transient");
  EXPECT_EQ((ReadPayload<uint8_t, 81>(event)), 0);
  EXPECT_TRUE(RestIsZero(event, 8, 82));

  const std::string exact(64, 'e');
  const TelemetryEvent full = RuntimeErrorEvent(kPid, -6000, exact, true, 1.0);
  EXPECT_EQ((ReadPayload<uint8_t, 16>(full)), 1);
  EXPECT_EQ(ReadPayloadText(full, 17, 64), exact);
  EXPECT_EQ((ReadPayload<uint8_t, 81>(full)), 0);

  const TelemetryEvent cut = RuntimeErrorEvent(kPid, -1002, exact + "xyz", false, 1.0);
  EXPECT_EQ(ReadPayloadText(cut, 17, 64), exact);
  EXPECT_EQ((ReadPayload<uint8_t, 81>(cut)), 1);
}

TEST(EventRecords, CableCompositorAndLostFrameRecords) {
  const TelemetryEvent attached = CableStateEvent(true, 1.0);
  EXPECT_EQ(attached.type, 37);
  EXPECT_EQ((ReadPayload<uint32_t, 0>(attached)), 4u);
  EXPECT_EQ((ReadPayload<uint32_t, 0>(CableStateEvent(false, 1.0))), 2u);

  const TelemetryEvent frame = EndCompositorFrameEvent(77, 2.5);
  EXPECT_EQ(frame.type, 14);
  EXPECT_DOUBLE_EQ(frame.timestamp, 2.5);
  EXPECT_EQ((ReadPayload<uint64_t, 0>(frame)), 77u);

  const TelemetryEvent lost = LostFrameEvent(kPid, 77, 2.5);
  EXPECT_EQ(lost.type, 15);
  EXPECT_EQ((ReadPayload<uint8_t, 0>(lost)), 0);
  EXPECT_EQ((ReadPayload<uint32_t, 4>(lost)), kPid);
  EXPECT_EQ((ReadPayload<uint64_t, 8>(lost)), 77u);
}

}  // namespace
}  // namespace luxsim::records
