#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "events/packet_format.h"
#include "log/validator_log.h"
#include "platform/process_info.h"
#include "support/child_process.h"
#include "support/loopback_server.h"
#include "support/telemetry_records.h"
#include "support/wait_until.h"
#include "validator/validator.h"

// How the Validator distils runtime events into facts, fed with synthetic records.

namespace QasValidator {

using LUX::Telemetry::TelemetryEvent;
using LUX::Telemetry::WritePayload;
using testsupport::ClientConnectInfo;
using testsupport::EngineEvent;
using testsupport::MakeRecord;
using testsupport::RunInChild;
using testsupport::WritePayloadText;

namespace {

constexpr uint32_t kApp = 0x1a2b;
constexpr uint32_t kOther = 0x77;

TelemetryEvent ErrorEvent(int32_t code, std::string_view text, bool notCounted = false,
                          bool truncated = false) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kError, kApp, 5.0);
  WritePayload<int32_t, 8>(event, code);
  WritePayload<uint8_t, 16>(event, notCounted ? 1 : 0);
  WritePayloadText(event, 17, text);
  WritePayload<uint8_t, 81>(event, truncated ? 1 : 0);
  return event;
}

TelemetryEvent CableEvent(uint32_t state) {
  return MakeRecord(LUX::Telemetry::kCableState, state, 5.0);
}

TelemetryEvent StatusEvent(uint32_t processId, std::array<uint8_t, 6> flags) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kSessionStatus, processId, 5.0);
  WritePayload<std::array<uint8_t, 6>, 4>(event, flags);
  return event;
}

TelemetryEvent RenderDescription(uint32_t processId, int32_t eye, std::array<float, 7> pose) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kRenderDescriptionFetched, processId, 5.0);
  WritePayload<int32_t, 4>(event, eye);
  WritePayload<std::array<float, 7>, 8>(event, pose);
  return event;
}

TelemetryEvent RenderPose(uint32_t processId, float value) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kRenderPoseSubmitted, processId, 5.0);
  WritePayload<float, 8>(event, value);
  return event;
}

TelemetryEvent Layers(uint32_t processId, uint8_t count, std::vector<uint8_t> kinds,
                      double timestamp = 5.0) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kLayersSubmitted, processId, timestamp);
  WritePayload<uint8_t, 5>(event, count);
  for (size_t i = 0; i < kinds.size(); ++i) event.payload[9 + 20 * i] = std::byte{kinds[i]};
  return event;
}

TelemetryEvent PropertyRead(uint32_t processId, std::string_view name) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kPropertyRead, processId, 5.0);
  WritePayloadText(event, 4, name);
  return event;
}

TelemetryEvent LostFrame(uint8_t kind) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kLostFrame, 0, 5.0);
  WritePayload<uint8_t, 0>(event, kind);
  return event;
}

TelemetryEvent CompositorFrame() { return MakeRecord(LUX::Telemetry::kEndCompositorFrame); }

}  // namespace

/// Feeds records to a Validator and reads the facts they left, as the pump thread and the
/// tests do.
class ValidatorEventsTest : public testing::Test {
 protected:
  void Deliver(std::vector<TelemetryEvent> events) {
    std::vector<TelemetryEvent*> pointers;
    for (TelemetryEvent& event : events) pointers.push_back(&event);
    validator.OnTelemetryEvents(pointers.data(), static_cast<int32_t>(pointers.size()));
  }

  std::optional<ProcessRecord> Record(uint32_t processId) {
    std::lock_guard lock(validator.eventLock);
    const auto found = validator.processRecords.find(processId);
    if (found == validator.processRecords.end()) return std::nullopt;
    return found->second;
  }

  std::optional<EngineIdentification> Engine(uint32_t processId) {
    std::lock_guard lock(validator.eventLock);
    const auto found = validator.engineIdentifications.find(processId);
    if (found == validator.engineIdentifications.end()) return std::nullopt;
    return found->second;
  }

  /// Runs `body` in a child with verbose logging and returns what it printed.
  std::string Printed(const std::function<void()>& body) {
    const auto run = RunInChild([&] {
      SetVerboseLogging(true);
      body();
      return 0;
    });
    EXPECT_EQ(run.exitStatus, 0);
    return run.out;
  }

  void SetPrintSwitches(bool printVersionEvents, bool reportRuntimeErrors) {
    validator.printVersionEvents = printVersionEvents;
    validator.reportRuntimeErrors = reportRuntimeErrors;
  }

  Validator validator;
  std::atomic<uint32_t>& sessionPid = validator.sessionPid;
  std::atomic<uint32_t>& launchedProcessId = validator.launchedProcessId;
  std::atomic<bool>& displayLost = validator.displayLost;
  std::atomic<bool>& transientError = validator.transientError;
  std::atomic<uint32_t>& runtimeErrorCount = validator.runtimeErrorCount;
  std::atomic<uint32_t>& displayLostCount = validator.displayLostCount;
  std::atomic<bool>& printVersionEvents = validator.printVersionEvents;
  std::atomic<bool>& reportRuntimeErrors = validator.reportRuntimeErrors;
  std::mutex& eventLock = validator.eventLock;
  ProcessRecordMap& processRecords = validator.processRecords;
  std::unique_ptr<LUX::Telemetry::TClientSocket>& listener = validator.listener;
};

namespace {

// ---- sessions and frames ----

TEST_F(ValidatorEventsTest, SessionCreatedStoresTheFirstCreationTime) {
  Deliver({MakeRecord(LUX::Telemetry::kSessionCreated, kApp, 10.0),
           MakeRecord(LUX::Telemetry::kSessionCreated, kApp, 11.0)});
  ASSERT_TRUE(Record(kApp));
  EXPECT_EQ(Record(kApp)->sessionCreatedTime, 10.0);
}

TEST_F(ValidatorEventsTest, SessionCreatedIsIgnoredOnceTheSessionIsKnown) {
  sessionPid = kApp;
  const std::string printed = Printed([&] {
    Deliver({MakeRecord(LUX::Telemetry::kSessionCreated, kOther, 10.0)});
    if (Record(kOther)) std::abort();
  });
  EXPECT_EQ(printed, "");
  EXPECT_EQ(Printed([&] { Deliver({MakeRecord(LUX::Telemetry::kSessionCreated, kApp, 1)}); }), "");
  sessionPid = 0;
  EXPECT_EQ(Printed([&] { Deliver({MakeRecord(LUX::Telemetry::kSessionCreated, kOther, 1)}); }),
            "Session Created\n");
}

TEST_F(ValidatorEventsTest, SessionDestroyedForgetsTheProcessAndTheSession) {
  sessionPid = kApp;
  Deliver({MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp, 3.0),
           MakeRecord(LUX::Telemetry::kFrameSubmitted, kOther, 3.0)});
  EXPECT_EQ(Printed([&] { Deliver({MakeRecord(LUX::Telemetry::kSessionDestroyed, kApp)}); }),
            "Session Destroyed for processId 0x1a2b\n\n");
  Deliver({MakeRecord(LUX::Telemetry::kSessionDestroyed, kApp)});
  EXPECT_FALSE(Record(kApp));
  EXPECT_TRUE(Record(kOther));
  EXPECT_EQ(sessionPid, 0u);

  sessionPid = kApp;
  Deliver({MakeRecord(LUX::Telemetry::kSessionDestroyed, kOther)});
  EXPECT_EQ(sessionPid, kApp);  // another process's session ends: ours stays
}

TEST_F(ValidatorEventsTest, FramesAreCountedAndTheFirstDelayKept) {
  Deliver({MakeRecord(LUX::Telemetry::kSessionCreated, kApp, 10.0),
           MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp, 12.5),
           MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp, 13.0),
           MakeRecord(LUX::Telemetry::kSwapChainCommitted, kApp)});
  EXPECT_EQ(Record(kApp)->submitFrameCount, 2u);
  EXPECT_EQ(Record(kApp)->firstFrameDelay, 2.5);
}

TEST_F(ValidatorEventsTest, CountBelowOneDoesNothing) {
  TelemetryEvent event = MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp, 1.0);
  TelemetryEvent* pointer = &event;
  validator.OnTelemetryEvents(&pointer, 0);
  validator.OnTelemetryEvents(&pointer, -1);
  EXPECT_FALSE(Record(kApp));
}

// ---- layers and poses ----

TEST_F(ValidatorEventsTest, FirstLayersEventAloneDecidesTheHeadTrackedLayer) {
  Deliver({Layers(kApp, 2, {4, 4}), Layers(kApp, 1, {0})});
  EXPECT_TRUE(Record(kApp)->firstLayersSeen);
  EXPECT_FALSE(Record(kApp)->headTrackedLayerSeen);

  Deliver({Layers(kOther, 3, {4, 4, 1}), Layers(kOther, 1, {4})});
  EXPECT_TRUE(Record(kOther)->headTrackedLayerSeen);
}

TEST_F(ValidatorEventsTest, LayerEntriesBeyondTheCountOrThePayloadAreNotRead) {
  Deliver({Layers(kApp, 1, {4, 0})});
  EXPECT_FALSE(Record(kApp)->headTrackedLayerSeen);
  // 255 announced, 5 kind bytes inside the payload; the timestamp's bytes follow.
  Deliver({Layers(kOther, 255, {4, 4, 4, 4, 4}, 12.5)});
  EXPECT_FALSE(Record(kOther)->headTrackedLayerSeen);
}

TEST_F(ValidatorEventsTest, EyePoseChangesCountAboveTheTolerance) {
  Deliver({RenderDescription(kApp, 0, {0.00005f, 0, 0, 0, 0, 0, 0.00009f}),
           RenderDescription(kApp, 1, {})});
  EXPECT_FALSE(Record(kApp)->renderDescChanged);
  EXPECT_EQ(Record(kApp)->renderDescCalls, (std::array<uint32_t, 2>{1, 1}));
  EXPECT_EQ(Record(kApp)->eyePoses[0][0], 0.0f);  // not replaced

  Deliver({RenderDescription(kApp, 1, {0, 0, 0, 0, 0, 0.001f, 0}),
           RenderDescription(kApp, 2, {1, 1, 1, 1, 1, 1, 1})});  // no such eye
  EXPECT_TRUE(Record(kApp)->renderDescChanged);
  EXPECT_EQ(Record(kApp)->renderDescCalls, (std::array<uint32_t, 2>{1, 2}));
  EXPECT_EQ(Record(kApp)->eyePoses[1], (std::array<float, 7>{0, 0, 0, 0, 0, 0.001f, 0}));
}

TEST_F(ValidatorEventsTest, RenderPoseChangesCountOnlyAfterAnEyePoseChange) {
  Deliver({RenderPose(kApp, 0.0f), RenderPose(kApp, 1.0f)});
  EXPECT_FALSE(Record(kApp)->renderPoseChanged);
  EXPECT_EQ(Record(kApp)->lastRenderPose, 1.0f);

  Deliver({RenderDescription(kApp, 0, {0.01f}), RenderPose(kApp, 1.00005f)});
  EXPECT_FALSE(Record(kApp)->renderPoseChanged);
  Deliver({RenderPose(kApp, 1.001f)});
  EXPECT_TRUE(Record(kApp)->renderPoseChanged);
}

// ---- visibility and recenter ----

TEST_F(ValidatorEventsTest, CommitsAreCountedByTheVisibleFlag) {
  Deliver(
      {StatusEvent(kApp, {1, 2, 3, 4, 5, 6}), MakeRecord(LUX::Telemetry::kSwapChainCommitted, kApp),
       MakeRecord(LUX::Telemetry::kSwapChainCommitted, kApp), StatusEvent(kApp, {0, 1, 1, 1, 1, 1}),
       MakeRecord(LUX::Telemetry::kSwapChainCommitted, kApp)});
  EXPECT_EQ(Record(kApp)->commitsVisible, 2u);
  EXPECT_EQ(Record(kApp)->commitsNotVisible, 1u);
  EXPECT_EQ(Record(kApp)->statusFlags, (std::array<uint8_t, 6>{0, 1, 1, 1, 1, 1}));
}

TEST_F(ValidatorEventsTest, RecenterFlagClearedEndsThePendingRequest) {
  {
    std::lock_guard lock(eventLock);
    validator.FindOrCreateProcessRecord(kApp).recenterPending = true;
  }
  EXPECT_EQ(Printed([&] { Deliver({MakeRecord(LUX::Telemetry::kRecenterFlagCleared, kApp)}); }),
            "Got ClearShouldRecenterFlag request\n");
  Deliver({MakeRecord(LUX::Telemetry::kRecenterFlagCleared, kApp)});
  EXPECT_FALSE(Record(kApp)->recenterPending);
}

// ---- SDK and engine ----

TEST_F(ValidatorEventsTest, SdkVersionIsStoredForTheSessionOrTheLaunchedProcess) {
  sessionPid = kApp;
  launchedProcessId = kOther;
  Deliver({ClientConnectInfo(kApp, 1, 2, 3), ClientConnectInfo(kOther, 0, 44, 1)});
  EXPECT_EQ(Record(kApp)->sdkVersion, 10203);
  EXPECT_EQ(Record(kOther)->sdkVersion, 4401);
}

TEST_F(ValidatorEventsTest, SdkVersionOfAChildOfTheLaunchedProcessCounts) {
  const uint32_t self = platform::CurrentProcessId();
  const uint32_t parent = platform::ParentProcessId().value();
  launchedProcessId = parent;
  Deliver({ClientConnectInfo(self, 1, 2, 3)});
  ASSERT_TRUE(Record(self));
  EXPECT_EQ(Record(self)->sdkVersion, 10203);

  // The launched process's parent is no child of it.
  launchedProcessId = self;
  Deliver({ClientConnectInfo(parent, 1, 2, 3)});
  EXPECT_FALSE(Record(parent));
}

TEST_F(ValidatorEventsTest, SdkVersionOfAnUnrelatedProcessIsIgnored) {
  sessionPid = kApp;
  launchedProcessId = kApp;
  SetPrintSwitches(true, false);
  EXPECT_EQ(Printed([&] { Deliver({ClientConnectInfo(kOther, 1, 2, 3)}); }), "");
  Deliver({ClientConnectInfo(kOther, 1, 2, 3)});
  EXPECT_FALSE(Record(kOther));
}

TEST_F(ValidatorEventsTest, SdkVersionIsPrintedWhenAsked) {
  sessionPid = kApp;
  EXPECT_EQ(Printed([&] { Deliver({ClientConnectInfo(kApp, 1, 2, 3)}); }), "");
  SetPrintSwitches(true, false);
  EXPECT_EQ(Printed([&] { Deliver({ClientConnectInfo(kApp, 1, 2, 3)}); }),
            "SDK version detected 2.3 for processId 0x1a2b\n\n");
}

TEST_F(ValidatorEventsTest, EngineIdentificationIsStoredAndReplaced) {
  sessionPid = kApp;
  Deliver({EngineEvent(kApp, "Unity", "2019.4.1f1", "Corvia", "1.2.3")});
  ASSERT_TRUE(Engine(kApp));
  EXPECT_EQ(Engine(kApp)->engineName, "Unity");
  EXPECT_EQ(Engine(kApp)->engineVersion, "2019.4.1f1");
  EXPECT_EQ(Engine(kApp)->enginePluginName, "Corvia");
  EXPECT_EQ(Engine(kApp)->enginePluginVersion, "1.2.3");

  // A text that fills its 20-byte slot ends with the slot.
  Deliver({EngineEvent(kApp, "UnrealEngine4567890X", "4.27", "", "")});
  EXPECT_EQ(Engine(kApp)->engineName, "UnrealEngine4567890X");
  EXPECT_EQ(Engine(kApp)->enginePluginName, "");

  Deliver({EngineEvent(kOther, "Unity", "1", "2", "3")});
  EXPECT_FALSE(Engine(kOther));
  EXPECT_FALSE(Record(kOther));
}

TEST_F(ValidatorEventsTest, EngineIdentificationIsPrintedWhenAsked) {
  sessionPid = kApp;
  SetPrintSwitches(true, false);
  EXPECT_EQ(Printed([&] { Deliver({EngineEvent(kApp, "Unity", "2019.4", "Corvia", "1.2")}); }),
            "Engine Identification for processId 0x1a2b\n"
            "\tEngineName: Unity\n"
            "\tEnginePluginName: Corvia\n"
            "\tEnginePluginVersion: 1.2\n"
            "\tEngineVersion: 2019.4\n");
}

// ---- runtime errors and the display ----

TEST_F(ValidatorEventsTest, RuntimeErrorsAreCountedAndPrintedWhenAsked) {
  EXPECT_EQ(Printed([&] { Deliver({ErrorEvent(-1001, "Quiet")}); }), "");
  Deliver({ErrorEvent(-1001, "Quiet")});
  EXPECT_EQ(runtimeErrorCount, 1u);

  SetPrintSwitches(false, true);
  EXPECT_EQ(Printed([&] {
              Deliver({ErrorEvent(-1001, "Invalid parameter"),
                       ErrorEvent(-1002, "A long text that was cut", false, true),
                       ErrorEvent(-1003, "Not counted", true)});
            }),
            "Telemetry Error Code -1001\nInvalid parameter\n"
            "Telemetry Error Code -1002\nA long text that was cut...\n");
}

TEST_F(ValidatorEventsTest, ErrorTextEndsAtItsSlot) {
  SetPrintSwitches(false, true);
  const std::string full(64, 'x');
  EXPECT_EQ(Printed([&] { Deliver({ErrorEvent(-1, full)}); }),
            "Telemetry Error Code -1\n" + full + "\n");
}

TEST_F(ValidatorEventsTest, TransientErrorIsFlagged) {
  Deliver({ErrorEvent(-90011, "Transient", true)});
  EXPECT_TRUE(transientError);
  EXPECT_EQ(runtimeErrorCount, 0u);
}

TEST_F(ValidatorEventsTest, DisplayLostCountsEvenWhenTheErrorIsNotCounted) {
  EXPECT_EQ(Printed([&] { Deliver({ErrorEvent(-6000, "Display lost", true)}); }), "Display Lost\n");
  Deliver({ErrorEvent(-6000, "Display lost", true)});
  EXPECT_TRUE(displayLost);
  EXPECT_EQ(displayLostCount, 1u);
  EXPECT_EQ(runtimeErrorCount, 0u);
  Deliver({ErrorEvent(-6000, "Display lost")});
  EXPECT_EQ(displayLostCount, 2u);
  EXPECT_EQ(runtimeErrorCount, 1u);
}

TEST_F(ValidatorEventsTest, CableStateSetsAndClearsDisplayLost) {
  EXPECT_EQ(Printed([&] {
              Deliver({CableEvent(2), CableEvent(4), CableEvent(3)});
            }),
            "HDMI cable unplugged recorded.\nHDMI cable attached and ready to use.\n");
  Deliver({CableEvent(2)});
  EXPECT_TRUE(displayLost);
  Deliver({CableEvent(3)});
  EXPECT_TRUE(displayLost);
  Deliver({CableEvent(4)});
  EXPECT_FALSE(displayLost);
}

// ---- properties ----

TEST_F(ValidatorEventsTest, OnlyRestrictedPropertyNamesAreRecordedExactly) {
  Deliver({PropertyRead(kApp, "PlayerHeight"), PropertyRead(kApp, "user"),
           PropertyRead(kApp, "Username"), PropertyRead(kApp, "EyeHeightX"),
           PropertyRead(kApp, "NeckEyeDistance"), PropertyRead(kApp, "PlayerHeight"),
           PropertyRead(kOther, "FloorLevel")});
  EXPECT_EQ(Record(kApp)->readProperties,
            (std::set<std::string>{"NeckEyeDistance", "PlayerHeight"}));
  EXPECT_FALSE(Record(kOther));

  for (const char* name : {"User", "Name", "Gender", "PlayerHeight", "EyeHeight", "NeckEyeDistance",
                           "EyeToNoseDist"}) {
    Deliver({PropertyRead(kOther, name)});
  }
  EXPECT_EQ(Record(kOther)->readProperties.size(), 7u);
}

// ---- frame rate ----

TEST_F(ValidatorEventsTest, CompositorFramesGiveTheFrameRate) {
  std::vector<TelemetryEvent> frames(32, CompositorFrame());
  Deliver(frames);
  EXPECT_EQ(validator.CurrentFrameRate(), 90.0);
  EXPECT_EQ(validator.AverageFrameRate(), 90.0);

  validator.ResetFrameStatistics();
  EXPECT_EQ(validator.AverageFrameRate(), 0.0);
  frames.insert(frames.begin() + 10, LostFrame(1));  // not an application frame
  frames.insert(frames.begin() + 20, LostFrame(0));
  Deliver(frames);
  EXPECT_EQ(validator.CurrentFrameRate(), 87.1875);
  EXPECT_LT(validator.AverageFrameRate(), 90.0);
  EXPECT_GT(validator.AverageFrameRate(), 87.1875);
}

// ---- reset ----

TEST_F(ValidatorEventsTest, ResetForgetsTheApplicationButKeepsDisplayLossesAndEngines) {
  sessionPid = kApp;
  SetPrintSwitches(true, true);
  Deliver({ErrorEvent(-6000, "Display lost", true), ErrorEvent(-90011, "Transient"),
           EngineEvent(kApp, "Unity", "1", "2", "3"),
           MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp, 1.0)});
  EXPECT_EQ(Printed([&] { validator.ResetEventState(); }), "");
  validator.ResetEventState();
  EXPECT_FALSE(displayLost);
  EXPECT_FALSE(transientError);
  EXPECT_EQ(sessionPid, 0u);
  EXPECT_FALSE(printVersionEvents);
  EXPECT_FALSE(reportRuntimeErrors);
  EXPECT_EQ(runtimeErrorCount, 0u);
  EXPECT_FALSE(Record(kApp));
  EXPECT_GE(processRecords.bucket_count(), 8u);
  EXPECT_EQ(displayLostCount, 1u);
  EXPECT_TRUE(Engine(kApp));
}

// ---- the listener and the pump ----

TEST_F(ValidatorEventsTest, ConnectingTheListenerFailsWithoutTheStream) {
  const uint16_t port = testsupport::LoopbackServer::ClosedPort();
  const auto run =
      RunInChild([&] { return validator.ConnectEventListener(port) == -3000 ? 0 : 1; });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "ERROR: Failed to connect to remote listener\n");

  testsupport::LoopbackServer server;
  EXPECT_EQ(validator.ConnectEventListener(server.Port()), 0);
  ASSERT_TRUE(listener);
  EXPECT_TRUE(listener->IsReceiving());
}

TEST_F(ValidatorEventsTest, PumpThreadFeedsTheFactsWhileTheMainThreadReadsThem) {
  testsupport::LoopbackServer server;
  LUX::Telemetry::TClientSocket events;
  ASSERT_TRUE(events.Connect(server.Port(), true));
  ASSERT_TRUE(server.Accept());

  std::atomic<bool> stop{false};
  std::thread pump([&] {
    while (!stop) validator.PumpEventRound(events);
  });

  constexpr uint32_t kFrames = 200;
  std::vector<TelemetryEvent> records = {MakeRecord(LUX::Telemetry::kSessionCreated, kApp)};
  for (uint32_t i = 0; i < kFrames; ++i) {
    records.push_back(MakeRecord(LUX::Telemetry::kFrameSubmitted, kApp));
    records.push_back(i % 4 == 0 ? LostFrame(0) : CompositorFrame());
    records.push_back(CompositorFrame());
  }
  for (size_t start = 0; start < records.size(); start += 50) {
    const size_t count = std::min<size_t>(50, records.size() - start);
    ASSERT_TRUE(
        server.Send(LUX::Telemetry::EncodePacket(std::span(records).subspan(start, count))));
  }

  // The main thread reads while the pump thread writes.
  const bool allFrames = testsupport::WaitUntil([&] {
    validator.CurrentFrameRate();
    validator.AverageFrameRate();
    std::lock_guard lock(eventLock);
    const auto found = processRecords.find(kApp);
    return found != processRecords.end() && found->second.submitFrameCount == kFrames;
  });
  stop = true;
  pump.join();
  ASSERT_TRUE(allFrames);
  EXPECT_GE(Record(kApp)->firstFrameDelay, 0.0);

  FrameStatistics expected;
  for (const TelemetryEvent& record : records) {
    if (record.type == LUX::Telemetry::kLostFrame) expected.OnLostFrame();
    if (record.type == LUX::Telemetry::kEndCompositorFrame) expected.OnCompositorFrame();
  }
  EXPECT_LT(expected.CurrentFrameRate(), 90.0);
  EXPECT_EQ(validator.CurrentFrameRate(), expected.CurrentFrameRate());
  EXPECT_EQ(validator.AverageFrameRate(), expected.fpsStatistic.mean);
}

}  // namespace
}  // namespace QasValidator
