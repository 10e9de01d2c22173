#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "event_records.h"
#include "events/packet_format.h"
#include "log/validator_log.h"
#include "platform/process_info.h"
#include "support/child_process.h"
#include "support/validator_test_access.h"
#include "validator/validator.h"

// How the Validator distils runtime events into facts, fed with the records the simulated
// runtime makes. The facts of an ordinary application's records are checked end to end; here
// the edge cases.

namespace QasValidator {

using LUX::Telemetry::TelemetryEvent;
using LUX::Telemetry::WritePayload;
namespace records = luxsim::records;

namespace {

constexpr uint32_t kApp = 0x1a2b;
constexpr uint32_t kOther = 0x77;

TelemetryEvent Process(int32_t type, uint32_t processId, double time = 5.0) {
  return records::ProcessEvent(type, processId, time);
}

TelemetryEvent Error(int32_t code, const std::string& text, bool notCounted = false) {
  return records::RuntimeErrorEvent(kApp, code, text, notCounted, 5.0);
}

// A layers record that announces `count` layers of the `kinds` given.
TelemetryEvent Layers(uint32_t processId, uint8_t count, std::vector<uint8_t> kinds) {
  TelemetryEvent event = Process(LUX::Telemetry::kLayersSubmitted, processId, 12.5);
  WritePayload<uint8_t, 5>(event, count);
  for (size_t i = 0; i < kinds.size(); ++i) event.payload[9 + 20 * i] = std::byte{kinds[i]};
  return event;
}

TelemetryEvent EyePose(uint32_t processId, int32_t eye, std::array<float, 7> pose) {
  TelemetryEvent event = Process(LUX::Telemetry::kRenderDescriptionFetched, processId);
  WritePayload<int32_t, 4>(event, eye);
  WritePayload<std::array<float, 7>, 8>(event, pose);
  return event;
}

TelemetryEvent Sdk(uint32_t processId, uint32_t major, uint32_t minor) {
  return records::ClientConnectInfoEvent(processId, 43,
                                         {.product = 1, .major = major, .minor = minor}, 5.0);
}

TelemetryEvent Engine(uint32_t processId, const std::string& name) {
  return records::EngineIdentificationEvent(processId, {name, "2019.4", "Corvia", "1.2"}, 5.0);
}

}  // namespace

/// Feeds records to a Validator and reads the facts they left, as the pump thread and the
/// tests do.
class ValidatorEventsTest : public testing::Test {
 protected:
  void Deliver(std::vector<TelemetryEvent> events) {
    ValidatorTestAccess::Deliver(validator, std::move(events));
  }
  /// Delivers `events` in a child process with verbose logging; what it printed.
  std::string Printed(std::vector<TelemetryEvent> events) {
    return testsupport::ExpectInChild([&] {
             SetVerboseLogging(true);
             Deliver(events);
           })
        .out;
  }
  std::optional<ProcessRecord> Record(uint32_t processId) {
    std::lock_guard lock(validator.eventLock);
    const auto found = validator.processRecords.find(processId);
    if (found == validator.processRecords.end()) return std::nullopt;
    return found->second;
  }
  std::optional<EngineIdentification> EngineOf(uint32_t processId) {
    std::lock_guard lock(validator.eventLock);
    const auto found = validator.engineIdentifications.find(processId);
    if (found == validator.engineIdentifications.end()) return std::nullopt;
    return found->second;
  }

  Validator validator;
  std::atomic<uint32_t>& sessionPid = validator.sessionPid;
  std::atomic<uint32_t>& launchedProcessId = validator.launchedProcessId;
  std::atomic<bool>& displayLost = validator.displayLost;
  std::atomic<bool>& transientError = validator.transientError;
  std::atomic<uint32_t>& runtimeErrorCount = validator.runtimeErrorCount;
  std::atomic<uint32_t>& displayLostCount = validator.displayLostCount;
  std::atomic<bool>& reportRuntimeErrors = validator.reportRuntimeErrors;
};

namespace {

TEST_F(ValidatorEventsTest, SessionsAreNotedUntilTheApplicationsIsKnownAndForgottenWhenTheyEnd) {
  Deliver({Process(LUX::Telemetry::kSessionCreated, kApp, 10.0),
           Process(LUX::Telemetry::kSessionCreated, kApp, 11.0),
           Process(LUX::Telemetry::kFrameSubmitted, kApp, 12.5),
           Process(LUX::Telemetry::kFrameSubmitted, kApp, 13.0),
           Process(LUX::Telemetry::kFrameSubmitted, kOther, 3.0)});
  EXPECT_EQ(Record(kApp)->sessionCreatedTime, 10.0);
  EXPECT_EQ(Record(kApp)->firstFrameDelay, 2.5);
  EXPECT_EQ(Printed({Process(LUX::Telemetry::kSessionCreated, kOther)}), "Session Created\n");
  sessionPid = kApp;
  EXPECT_EQ(Printed({Process(LUX::Telemetry::kSessionCreated, kOther)}), "");
  EXPECT_EQ(Printed({Process(LUX::Telemetry::kSessionDestroyed, kApp)}),
            "Session Destroyed for processId 0x1a2b\n\n");
  Deliver({Process(LUX::Telemetry::kSessionDestroyed, kOther)});
  EXPECT_EQ(sessionPid, kApp);  // another process's session ends: ours stays
  Deliver({Process(LUX::Telemetry::kSessionDestroyed, kApp)});
  EXPECT_EQ(sessionPid, 0u);
  EXPECT_FALSE(Record(kApp));  // its facts are forgotten
}

TEST_F(ValidatorEventsTest, TheFirstLayersAloneDecideTheHeadTrackedLayerWithinTheirCount) {
  Deliver({Layers(kApp, 2, {4, 4}), Layers(kApp, 1, {0})});
  EXPECT_TRUE(Record(kApp)->firstLayersSeen);
  EXPECT_FALSE(Record(kApp)->headTrackedLayerSeen);
  Deliver({Layers(kOther, 3, {4, 4, 1})});
  EXPECT_TRUE(Record(kOther)->headTrackedLayerSeen);
  // Entries beyond the count, or beyond the payload (255 announced, the timestamp follows).
  Deliver({Layers(1, 1, {4, 0}), Layers(2, 255, {4, 4, 4, 4, 4})});
  EXPECT_FALSE(Record(1)->headTrackedLayerSeen);
  EXPECT_FALSE(Record(2)->headTrackedLayerSeen);
}

TEST_F(ValidatorEventsTest, PoseChangesCountAboveTheToleranceAndRenderPosesOnlyAfterTheEyes) {
  Deliver({EyePose(kApp, 0, {0.00005f, 0, 0, 0, 0, 0, 0.00009f}), EyePose(kApp, 1, {}),
           records::RenderPoseEvent(kApp, 0.0f, 5.0), records::RenderPoseEvent(kApp, 1.0f, 5.0)});
  EXPECT_FALSE(Record(kApp)->renderDescChanged);
  EXPECT_FALSE(Record(kApp)->renderPoseChanged);
  EXPECT_EQ(Record(kApp)->eyePoses[0][0], 0.0f);  // not replaced
  EXPECT_EQ(Record(kApp)->lastRenderPose, 1.0f);
  Deliver({EyePose(kApp, 1, {0, 0, 0, 0, 0, 0.001f, 0}), EyePose(kApp, 2, {1, 1, 1, 1, 1, 1, 1}),
           records::RenderPoseEvent(kApp, 1.00005f, 5.0)});
  EXPECT_TRUE(Record(kApp)->renderDescChanged);
  EXPECT_EQ(Record(kApp)->renderDescCalls, (std::array<uint32_t, 2>{1, 2}));  // no eye 2
  EXPECT_EQ(Record(kApp)->eyePoses[1], (std::array<float, 7>{0, 0, 0, 0, 0, 0.001f, 0}));
  EXPECT_FALSE(Record(kApp)->renderPoseChanged);
  Deliver({records::RenderPoseEvent(kApp, 1.001f, 5.0)});
  EXPECT_TRUE(Record(kApp)->renderPoseChanged);
}

TEST_F(ValidatorEventsTest, CommitsAreCountedByTheVisibleFlagOfTheLastStatusWhateverItsBytes) {
  TelemetryEvent odd = Process(LUX::Telemetry::kSessionStatus, kApp);
  WritePayload<std::array<uint8_t, 6>, 4>(odd, {1, 2, 3, 4, 5, 6});
  const auto commit = [] { return Process(LUX::Telemetry::kSwapChainCommitted, kApp); };
  Deliver({odd, commit(), commit(),
           records::SessionStatusEvent(kApp, {.hmdPresent = true, .shouldQuit = true}, 5.0),
           commit()});
  EXPECT_EQ(Record(kApp)->commitsVisible, 2u);
  EXPECT_EQ(Record(kApp)->commitsNotVisible, 1u);
  EXPECT_EQ(Record(kApp)->statusFlags, (std::array<uint8_t, 6>{0, 1, 0, 0, 1, 0}));
  // The recenter answer that ends the request: RequestResponseE2E's well-behaved run.
}

TEST_F(ValidatorEventsTest, SdkAndEngineReportsCountForTheApplicationAndItsChildrenOnly) {
  const uint32_t self = platform::CurrentProcessId();
  const uint32_t parent = platform::ParentProcessId().value();
  sessionPid = kApp;
  launchedProcessId = parent;
  // The session's, the launched process's and a child's of it; the parent is no child of it.
  Deliver({Sdk(kApp, 2, 3), Sdk(parent, 44, 1), Sdk(self, 2, 5), Sdk(kOther, 2, 3),
           Engine(kApp, "Unity"), Engine(kOther, "Unreal")});
  EXPECT_EQ(Record(kApp)->sdkVersion, 10203);
  EXPECT_EQ(Record(parent)->sdkVersion, 14401);
  EXPECT_EQ(Record(self)->sdkVersion, 10205);
  EXPECT_FALSE(Record(kOther));
  EXPECT_FALSE(EngineOf(kOther));
  EXPECT_EQ(EngineOf(kApp)->engineName, "Unity");
  launchedProcessId = self;
  Deliver({Sdk(parent, 1, 2)});
  EXPECT_EQ(Record(parent)->sdkVersion, 14401);
  // A text that fills its 20-byte slot ends with the slot.
  TelemetryEvent full = Engine(kApp, "");
  std::memcpy(full.payload + 4, "UnrealEngine4567890X", 20);
  Deliver({full});
  EXPECT_EQ(EngineOf(kApp)->engineName, "UnrealEngine4567890X");
  EXPECT_EQ(EngineOf(kApp)->engineVersion, "2019.4");
  // Printed only while TestSdkVersion asks: SdkVersionE2E, and every end-to-end run of another
  // test, whose application reports its versions too.
}

TEST_F(ValidatorEventsTest, RuntimeErrorsAndTheCableMarkTransientOrLostDisplayAndArePrinted) {
  EXPECT_EQ(Printed({Error(-1001, "Quiet")}), "");
  reportRuntimeErrors = true;
  const std::string full(64, 'x');
  EXPECT_EQ(Printed({Error(-1001, "Invalid parameter"), Error(-1002, full + "cut"),
                     Error(-1003, "Not counted", true), Error(-1, full),
                     Error(-6000, "Display lost", true)}),
            "Telemetry Error Code -1001\nInvalid parameter\n"
            "Telemetry Error Code -1002\n" +
                full + "...\nTelemetry Error Code -1\n" + full + "\nDisplay Lost\n");
  reportRuntimeErrors = false;
  Deliver({Error(-90011, "Transient", true), Error(-6000, "Display lost", true),
           Error(-6000, "Display lost")});
  EXPECT_TRUE(transientError);
  EXPECT_TRUE(displayLost);
  EXPECT_EQ(displayLostCount, 2u);  // even when the error is not counted
  EXPECT_EQ(runtimeErrorCount, 1u);
  // The cable state sets and clears the lost display, and another state changes nothing; its
  // lines: HardwareE2E.
  TelemetryEvent other = records::CableStateEvent(true, 5.0);
  WritePayload<uint32_t, 0>(other, 3);
  const TelemetryEvent unplugged = records::CableStateEvent(false, 5.0);
  const TelemetryEvent attached = records::CableStateEvent(true, 5.0);
  for (const auto& [record, lost] : {std::pair{unplugged, true}, std::pair{other, true},
                                     std::pair{attached, false}, std::pair{other, false}}) {
    Deliver({record});
    EXPECT_EQ(displayLost, lost);
  }
}

TEST_F(ValidatorEventsTest, OnlyRestrictedPropertyNamesAreRecordedExactly) {
  std::vector<TelemetryEvent> reads;
  for (const char* name :
       {"PlayerHeight", "user", "Username", "EyeHeightX", "NeckEyeDistance", "PlayerHeight", "User",
        "Name", "Gender", "EyeHeight", "EyeToNoseDist"}) {
    reads.push_back(records::PropertyReadEvent(kApp, name, 5.0));
  }
  reads.push_back(records::PropertyReadEvent(kOther, "FloorLevel", 5.0));
  Deliver(reads);
  EXPECT_FALSE(Record(kOther));
  EXPECT_EQ(Record(kApp)->readProperties,
            (std::set<std::string>{"EyeHeight", "EyeToNoseDist", "Gender", "Name",
                                   "NeckEyeDistance", "PlayerHeight", "User"}));
}

// Connecting the listener and the pump thread run in every end-to-end run of the validator.
TEST_F(ValidatorEventsTest, OnlyTheApplicationsLostFramesCountAndTheRatesMayBeReadMeanwhile) {
  std::vector<TelemetryEvent> sent;
  FrameStatistics expected;
  for (uint32_t i = 0; i < 200; ++i) {
    if (i % 4 == 0) {
      sent.push_back(records::LostFrameEvent(kApp, i, 0.0));
      expected.OnLostFrame();
    }
    TelemetryEvent notTheApplications = records::LostFrameEvent(kApp, i, 0.0);
    WritePayload<uint8_t, 0>(notTheApplications, 1);
    sent.push_back(notTheApplications);
    sent.push_back(records::EndCompositorFrameEvent(i, 0.0));
    expected.OnCompositorFrame();
  }
  std::atomic<bool> delivered{false};
  std::thread pump([&] {
    for (const TelemetryEvent& event : sent) Deliver({event});
    delivered = true;
  });
  while (!delivered) validator.CurrentFrameRate(), validator.AverageFrameRate();
  pump.join();
  EXPECT_LT(expected.CurrentFrameRate(), 90.0);
  EXPECT_EQ(validator.CurrentFrameRate(), expected.CurrentFrameRate());
  EXPECT_EQ(validator.AverageFrameRate(), expected.fpsStatistic.mean);
}

}  // namespace
}  // namespace QasValidator
