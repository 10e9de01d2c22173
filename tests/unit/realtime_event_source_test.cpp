#include "realtime_event_source.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "protocol/pose_json.h"
#include "support/simulated_core.h"

// Which records the simulated runtime makes for what its clients do, with the client API
// served by the runtime's core requests and the records collected as they are handed out.

namespace luxsim {
namespace {

using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::ReadPayloadText;
using LUX::Telemetry::TelemetryEvent;
using testsupport::Fields;

constexpr uint32_t kToolPid = 10;
constexpr uint32_t kAppPid = 500;

class RealtimeEventSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    source_ = std::make_unique<RealtimeEventSource>(
        core_.Sessions(), core_.Properties(), [this] { return core_.now; }, true,
        [this](const TelemetryEvent& record) { records_.push_back(record); });
    // Wired as the realtime event stream module wires it.
    core_.Sessions().AddObserver(source_.get());
    core_.Headset().AddListener([this] { source_->OnHeadsetChanged(core_.Headset().Connected()); });
    core_.Requests().AddFailureObserver(
        [this](const RequestContext& requester, luxResult result, const std::string& text) {
          source_->OnRequestFailed(requester.pid, result, text);
        });
    tool_ = core_.Sessions().AddClient(kToolPid).id;
    app_ = core_.Sessions().AddClient(kAppPid).id;
  }

  Json::Value Call(ClientId client, const std::string& op, Json::Value fields = Json::objectValue) {
    return core_.Call(client, op, std::move(fields));
  }

  void SetOutput(ClientId client, bool on) {
    Call(client, "realtime_event_output", Fields({{"enable", on}}));
  }

  Json::Value CreateSession() { return Call(app_, "create_session")["session"]; }

  // Submits a frame with an eye-fov layer (render pose x -0.032) and a head-locked quad.
  Json::Value SubmitFrame(const Json::Value& session, int frame) {
    Json::Value layers(Json::arrayValue);
    layers.append(Fields({{"type", luxLayerType_EyeFov},
                          {"render_pose", PoseToJson({{0, 0, 0, 1}, {-0.032f, 1.6f, 0}})}}));
    layers.append(Fields({{"type", luxLayerType_HeadLockedQuad},
                          {"render_pose", PoseToJson({{0, 0, 0, 1}, {0, 0, -1}})}}));
    return Call(app_, "submit_frame",
                Fields({{"session", session}, {"frame", frame}, {"layers", layers}}));
  }

  std::vector<TelemetryEvent> TakeRecords() { return std::exchange(records_, {}); }

  std::vector<int32_t> TakeTypes() {
    std::vector<int32_t> types;
    for (const TelemetryEvent& record : TakeRecords()) types.push_back(record.type);
    return types;
  }

  testsupport::SimulatedCore core_{"event_source"};
  std::unique_ptr<RealtimeEventSource> source_;
  std::vector<TelemetryEvent> records_;
  ClientId tool_ = 0;
  ClientId app_ = 0;
};

TEST_F(RealtimeEventSourceTest, RecordsAreMadeOnlyWhileSomeClientHasTheOutputOn) {
  CreateSession();
  source_->OnCompositorFrame();
  EXPECT_FALSE(source_->OutputOn());
  EXPECT_TRUE(records_.empty());

  SetOutput(tool_, true);
  SetOutput(app_, true);
  SetOutput(app_, false);
  EXPECT_TRUE(source_->OutputOn());
  source_->OnCompositorFrame();
  // The application in front has delivered nothing yet.
  EXPECT_EQ(TakeTypes(), (std::vector<int32_t>{15, 14}));

  // The client that switched it on goes away without switching it off.
  core_.Sessions().RemoveClient(tool_);
  EXPECT_FALSE(source_->OutputOn());
  source_->OnCompositorFrame();
  EXPECT_TRUE(records_.empty());
}

TEST_F(RealtimeEventSourceTest, AnApplicationsLifeWithoutFrequentEvents) {
  SetOutput(tool_, true);
  Call(app_, "hello", Fields({{"minor_version", 43}}));
  Call(app_, "client_info",
       Fields({{"build_tool", 1900}, {"product", 1}, {"major", 1}, {"minor", 43}, {"patch", 0}}));
  Call(app_, "identify_client", Fields({{"identity", "EngineName: Unity\nEngineVersion: 2019.4"}}));
  Call(app_, "identify_client", Fields({{"identity", "SDKVersion: 1.43"}}));  // no engine named
  const double created = core_.now;
  const Json::Value session = CreateSession();
  core_.now += 0.5;
  Call(app_, "get_property", Fields({{"session", session}, {"name", "User"}, {"type", "string"}}));
  Call(app_, "render_desc", Fields({{"session", session}, {"eye", 0}}));
  const Json::Value chain = Call(app_, "create_swap_chain", Fields({{"session", session}}));
  for (int frame = 1; frame <= 3; ++frame) {
    Call(app_, "commit_swap_chain",
         Fields({{"session", session}, {"swap_chain", chain["swap_chain"]}}));
    SubmitFrame(session, frame);
  }
  Call(app_, "clear_recenter", Fields({{"session", session}}));
  Call(app_, "destroy_session", Fields({{"session", session}}));

  const std::vector<TelemetryEvent> records = TakeRecords();
  std::vector<int32_t> types;
  for (const TelemetryEvent& record : records) {
    types.push_back(record.type);
    EXPECT_EQ(LUX::Telemetry::EventProcessId(record), kAppPid) << record.type;
  }
  // Client info, engine, session created, status, property read, the first frame and its
  // layers only, recenter flag cleared, session destroyed.
  ASSERT_EQ(types, (std::vector<int32_t>{17, 34, 26, 38, 44, 33, 43, 39, 27}));
  EXPECT_EQ((ReadPayload<uint32_t, 8>(records[0])), 43u);
  EXPECT_EQ((ReadPayload<uint32_t, 20>(records[0])), 43u);
  EXPECT_EQ(ReadPayloadText(records[1], 4, 20), "Unity");
  EXPECT_EQ(ReadPayloadText(records[1], 24, 20), "2019.4");
  EXPECT_DOUBLE_EQ(records[2].timestamp, created);
  EXPECT_EQ((ReadPayload<std::array<uint8_t, 6>, 4>(records[3])),
            (std::array<uint8_t, 6>{1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(ReadPayloadText(records[4], 4, 92), "User");
  EXPECT_DOUBLE_EQ(records[5].timestamp, created + 0.5);
  EXPECT_EQ((ReadPayload<uint8_t, 5>(records[6])), 2);
  EXPECT_EQ((ReadPayload<uint8_t, 9>(records[6])), 1);
  EXPECT_EQ((ReadPayload<uint8_t, 29>(records[6])), 4);
}

TEST_F(RealtimeEventSourceTest, TheFrequentEventsProcessGetsEveryPerFrameRecord) {
  SetOutput(tool_, true);
  const Json::Value session = CreateSession();
  SubmitFrame(session, 1);  // the first frame goes out before anybody asked
  TakeRecords();
  ASSERT_TRUE(Call(tool_, "set_property",
                   Fields({{"session", 0},
                           {"name", "FrequentTelEventPid"},
                           {"type", "int"},
                           {"value", kAppPid}}))["taken"]
                  .asBool());
  Call(app_, "render_desc", Fields({{"session", session}, {"eye", 1}}));
  const Json::Value chain = Call(app_, "create_swap_chain", Fields({{"session", session}}));
  Call(app_, "commit_swap_chain",
       Fields({{"session", session}, {"swap_chain", chain["swap_chain"]}}));
  SubmitFrame(session, 2);
  SubmitFrame(session, 3);
  const std::vector<TelemetryEvent> records = TakeRecords();
  std::vector<int32_t> types;
  for (const TelemetryEvent& record : records) types.push_back(record.type);
  ASSERT_EQ(types, (std::vector<int32_t>{40, 41, 33, 43, 42, 33, 43, 42}));
  EXPECT_EQ((ReadPayload<int32_t, 4>(records[0])), 1);
  EXPECT_FLOAT_EQ((ReadPayload<float, 24>(records[0])), 0.032f);  // position x
  EXPECT_FLOAT_EQ((ReadPayload<float, 8>(records[4])), -0.032f);
}

TEST_F(RealtimeEventSourceTest, FailedCallsAndTheLostDisplayAreReportedAsErrors) {
  SetOutput(tool_, true);
  const Json::Value session = CreateSession();
  TakeRecords();
  Call(app_, "session_status", Fields({{"session", 99}}));
  std::vector<TelemetryEvent> records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 11);
  EXPECT_EQ(LUX::Telemetry::EventProcessId(records[0]), kAppPid);
  EXPECT_EQ((ReadPayload<int32_t, 8>(records[0])), luxError_InvalidSession);
  EXPECT_EQ((ReadPayload<uint8_t, 16>(records[0])), 0);
  EXPECT_EQ(ReadPayloadText(records[0], 17, 64), "No such session");

  core_.Headset().SetConnected(false);
  EXPECT_EQ(TakeTypes(), (std::vector<int32_t>{38, 37}));
  EXPECT_EQ(Call(app_, "wait_frame", Fields({{"session", session}}))["result"].asInt(),
            luxError_DisplayLost);
  EXPECT_EQ(TakeTypes(), (std::vector<int32_t>{11}));
  EXPECT_EQ(SubmitFrame(session, 1)["result"].asInt(), luxError_DisplayLost);
  records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);  // the frame went nowhere: no frame record
  EXPECT_EQ((ReadPayload<int32_t, 8>(records[0])), -6000);
  EXPECT_EQ((ReadPayload<uint8_t, 16>(records[0])), 1);
  core_.Headset().SetConnected(true);
  records = TakeRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].type, 37);
  EXPECT_EQ((ReadPayload<uint32_t, 0>(records[1])), 4u);
  // Taking the headset off is no cable change.
  core_.Headset().SetMounted(false);
  EXPECT_EQ(TakeTypes(), (std::vector<int32_t>{38}));
}

TEST_F(RealtimeEventSourceTest, RaisedErrorsCarryTheirCodeTextAndFlag) {
  SetOutput(tool_, true);
  source_->RaiseError(kAppPid, -90011, "Simulated transient failure", true);
  const std::vector<TelemetryEvent> records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ((ReadPayload<int32_t, 8>(records[0])), -90011);
  EXPECT_EQ((ReadPayload<uint8_t, 16>(records[0])), 1);
  EXPECT_EQ(ReadPayloadText(records[0], 17, 64), "Simulated transient failure");
}

TEST_F(RealtimeEventSourceTest, CompositorFramesReportTheFramesTheApplicationInFrontLost) {
  SetOutput(tool_, true);
  source_->OnCompositorFrame();  // nobody in front
  const Json::Value session = CreateSession();
  TakeRecords();
  source_->OnCompositorFrame();  // in front for the first time: not judged
  source_->OnCompositorFrame();
  EXPECT_EQ(TakeTypes(), (std::vector<int32_t>{14, 15, 14}));
  SubmitFrame(session, 1);
  TakeRecords();
  source_->OnCompositorFrame();
  const std::vector<TelemetryEvent> records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 14);
  EXPECT_EQ((ReadPayload<uint64_t, 0>(records[0])), 3u);

  // Another session takes the front and delivers nothing.
  const ClientId other = core_.Sessions().AddClient(600).id;
  Call(other, "create_session");
  TakeRecords();
  source_->OnCompositorFrame();
  source_->OnCompositorFrame();
  const std::vector<TelemetryEvent> lost = TakeRecords();
  ASSERT_EQ(lost.size(), 3u);
  EXPECT_EQ(lost[0].type, 14);
  EXPECT_EQ(lost[1].type, 15);
  EXPECT_EQ((ReadPayload<uint32_t, 4>(lost[1])), 600u);
  EXPECT_EQ((ReadPayload<uint64_t, 8>(lost[1])), 5u);
  EXPECT_EQ(lost[2].type, 14);
  EXPECT_DOUBLE_EQ(lost[1].timestamp, lost[2].timestamp);
}

TEST_F(RealtimeEventSourceTest, AProcessThatGoesAwayEndsItsSessions) {
  SetOutput(tool_, true);
  CreateSession();
  TakeRecords();
  core_.Sessions().RemoveClient(app_);
  const std::vector<TelemetryEvent> records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 27);
  EXPECT_EQ(LUX::Telemetry::EventProcessId(records[0]), kAppPid);
}

}  // namespace
}  // namespace luxsim
