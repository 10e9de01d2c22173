#include "shell_requests.h"

#include <gtest/gtest.h>

#include <memory>

#include "hub/hub_message.h"
#include "shell_rig.h"
#include "support/machine_prefix.h"

namespace luxsim {
namespace {

using QasValidator::BuildRequestEnvelope;
using QasValidator::IsOkAnswer;
using QasValidator::ParseHubMessage;
using QasValidator::PayloadType;

const Json::Value kNoData("");

Json::Value Data(std::initializer_list<std::pair<const char*, Json::Value>> members) {
  Json::Value data(Json::objectValue);
  for (const auto& [key, value] : members) data[key] = value;
  return data;
}

Json::Value Pid(uint32_t pid) { return Data({{"pid", Json::UInt(pid)}}); }

class ShellRequestsTest : public testing::Test {
 protected:
  void SetUp() override { Build(false); }

  void Build(bool olderShell) {
    requests_.reset();
    rig_.reset();
    rig_ = std::make_unique<ShellRig>(ShellState::Options{});
    ASSERT_NE(rig_->shell, nullptr);
    registry_ = rig_->registry.get();
    state_ = rig_->shell.get();
    requests_ = std::make_unique<ShellRequests>(*state_, olderShell);
  }

  // Sends the request as the validator's client writes it; the parsed response.
  Json::Value Ask(const std::string& path, const Json::Value& data = kNoData) {
    const ShellResponse response = requests_->Answer(BuildRequestEnvelope(path, data, nextId_));
    EXPECT_EQ(response.path, path);
    std::optional<Json::Value> message = ParseHubMessage(response.message);
    EXPECT_TRUE(message.has_value()) << response.message;
    if (!message) return Json::nullValue;
    EXPECT_EQ((*message)["messageType"].asString(), "RESPONSE");
    EXPECT_EQ((*message)["sequenceId"].asString(), std::to_string(nextId_));
    ++nextId_;
    return *message;
  }
  bool Ok(const std::string& path, const Json::Value& data) { return IsOkAnswer(Ask(path, data)); }
  // The reason of an "ERROR" response; empty for any other.
  std::string Error(const std::string& path, const Json::Value& data = kNoData) {
    const Json::Value response = Ask(path, data);
    if (PayloadType(response) != "ERROR") return {};
    return response["payload"]["message"].asString();
  }

  SessionId Launch(uint32_t pid) {
    client_ = registry_->AddClient(pid).id;
    return registry_->CreateSession(client_).id;
  }
  const SessionStatus& Status(SessionId session) {
    return registry_->FindSession(client_, session)->status;
  }

  testsupport::ScopedMachinePrefix prefix_;
  std::unique_ptr<ShellRig> rig_;
  SessionRegistry* registry_ = nullptr;
  ShellState* state_ = nullptr;
  std::unique_ptr<ShellRequests> requests_;  // declared after the rig, goes first
  ClientId client_ = 0;
  uint32_t nextId_ = 7;
};

TEST_F(ShellRequestsTest, AResponseIsOneCompactMessageWithTheRequestsId) {
  const ShellResponse response = requests_->Answer(
      BuildRequestEnvelope("/hardware/set_proximity_sensor", Data({{"wearing_hmd", true}}), 41));
  EXPECT_EQ(response.message,
            R"({"messageType":"RESPONSE","payload":{"value":"OK"},"payloadType":"PLAIN_STRING",)"
            R"("sequenceId":"41"})");
}

TEST_F(ShellRequestsTest, QueriesAnswerWithTheirPayloadTypes) {
  Json::Value response = Ask("/life_cycle/get_actual_location");
  EXPECT_EQ(PayloadType(response), "LIFE_CYCLE_LOCATION_UPDATE");
  EXPECT_EQ(response["payload"]["location"].asString(), "UM");
  response = Ask("/life_cycle/get_focused_pid");
  EXPECT_EQ(PayloadType(response), "PLAIN_PID");
  EXPECT_TRUE(response["payload"]["pid"].isUInt());
  EXPECT_EQ(response["payload"]["pid"].asUInt(), 0u);
  response = Ask("/life_cycle/get_hsw_needed");
  EXPECT_EQ(PayloadType(response), "HSW_NEEDED_UPDATE");
  EXPECT_EQ(response["payload"]["needed"], Json::Value(false));
  response = Ask("/life_cycle/get_dash_visibility");
  EXPECT_EQ(PayloadType(response), "DASH_VISIBILITY");
  EXPECT_EQ(response["payload"]["dashVisibility"].asString(), "HIDDEN");

  Launch(4321);
  EXPECT_EQ(Ask("/life_cycle/get_focused_pid")["payload"]["pid"].asUInt(), 4321u);
  EXPECT_EQ(Ask("/life_cycle/get_top_app_render_pid")["payload"]["pid"].asUInt(), 4321u);
  EXPECT_EQ(Ask("/life_cycle/get_hsw_needed")["payload"]["needed"], Json::Value(true));
  EXPECT_EQ(Ask("/life_cycle/get_actual_location")["payload"]["location"].asString(), "HSW");
  response = Ask("/life_cycle/get_focus_aware", Pid(4321));
  EXPECT_EQ(PayloadType(response), "BOOL");
  EXPECT_EQ(response["payload"]["value"], Json::Value(false));
  registry_->FindClient(client_)->focusAware = true;
  EXPECT_EQ(Ask("/life_cycle/get_focus_aware", Pid(4321))["payload"]["value"], Json::Value(true));
  EXPECT_EQ(Error("/life_cycle/get_focus_aware", Pid(1)), "No application session of process 1");
}

TEST_F(ShellRequestsTest, RequestsChangeTheStateAndAnswerOk) {
  const SessionId session = Launch(500);
  EXPECT_TRUE(Ok("/life_cycle/hsw_acked", Data({{"response", 1}})));
  EXPECT_TRUE(Status(session).visible);
  EXPECT_TRUE(Ok("/hardware/set_proximity_sensor", Data({{"wearing_hmd", false}})));
  EXPECT_FALSE(Status(session).hmdMounted);
  EXPECT_TRUE(Ok("/hardware/set_proximity_sensor", Data({{"wearing_hmd", true}})));
  EXPECT_TRUE(Status(session).visible);

  EXPECT_TRUE(Ok("/life_cycle/request_the_void",
                 Data({{"requestTheVoid", true}, {"pid", Json::UInt(500)}})));
  EXPECT_EQ(Ask("/life_cycle/get_dash_visibility")["payload"]["dashVisibility"].asString(),
            "VISIBLE");
  EXPECT_FALSE(Status(session).visible);
  EXPECT_TRUE(Ok("/life_cycle/request_the_void",
                 Data({{"requestTheVoid", false}, {"pid", Json::UInt(500)}})));
  EXPECT_TRUE(Status(session).visible);

  EXPECT_TRUE(Ok("/life_cycle/request_location", Data({{"location", "UM"}})));
  EXPECT_EQ(Ask("/life_cycle/get_actual_location")["payload"]["location"].asString(), "UM");
  EXPECT_TRUE(Ok("/life_cycle/request_location", Data({{"location", "APP"}})));
  EXPECT_TRUE(Status(session).visible);

  EXPECT_TRUE(Ok("/life_cycle/request_app_should_recenter", Pid(500)));
  EXPECT_TRUE(Status(session).shouldRecenter);

  EXPECT_TRUE(Ok("/life_cycle/request_location", Data({{"location", "APP_CLOSE"}})));
  EXPECT_FALSE(Status(session).shouldQuit);
  EXPECT_TRUE(Ok("/life_cycle/prompt_response", Data({{"response", 1}})));
  EXPECT_TRUE(Status(session).shouldQuit);

  EXPECT_TRUE(
      Ok("/hardware/set_audio_mode", Data({{"device", "windowsDefault"}, {"mode", "output"}})));
  EXPECT_EQ(state_->Audio().output, "windowsDefault");
  EXPECT_TRUE(
      Ok("/hardware/set_mirror_settings", Data({{"mode", "off"}, {"direction", "fromTarn"}})));
}

TEST_F(ShellRequestsTest, CloseAppAsksTheProcessToQuit) {
  const SessionId session = Launch(500);
  EXPECT_TRUE(Ok("/life_cycle/close_app", Pid(500)));
  EXPECT_TRUE(Status(session).shouldQuit);
  EXPECT_EQ(Ask("/life_cycle/get_actual_location")["payload"]["location"].asString(), "APP_CLOSE");
  EXPECT_EQ(Error("/life_cycle/close_app", Pid(501)), "No application session of process 501");
}

TEST_F(ShellRequestsTest, RefusedRequestsAnswerWithAnError) {
  EXPECT_EQ(Error("/life_cycle/request_location", Data({{"location", "MOON"}})),
            "Unknown location: MOON");
  EXPECT_EQ(Error("/life_cycle/hsw_acked", Data({{"response", 1}})),
            "No health and safety warning is shown");
  EXPECT_EQ(Error("/hardware/set_audio_mode", Data({{"device", "tarn"}, {"mode", "both"}})),
            "Unknown audio mode: both");
}

TEST_F(ShellRequestsTest, DataOfTheWrongShapeIsRefused) {
  const std::string expectPid = R"(Bad request data: expected {"pid": process id})";
  EXPECT_EQ(Error("/life_cycle/close_app"), expectPid);
  EXPECT_EQ(Error("/life_cycle/close_app", Data({{"pid", -5}})), expectPid);
  EXPECT_EQ(Error("/life_cycle/close_app", Data({{"pid", "500"}})), expectPid);
  EXPECT_EQ(Error("/life_cycle/close_app", Data({{"pid", 4294967296.0}})), expectPid);
  EXPECT_EQ(Error("/life_cycle/request_app_should_recenter", Data({{"pid", true}})), expectPid);
  EXPECT_EQ(Error("/life_cycle/get_focus_aware"), expectPid);
  EXPECT_EQ(Error("/hardware/set_proximity_sensor", Data({{"wearing_hmd", 1}})),
            R"(Bad request data: expected {"wearing_hmd": true or false})");
  EXPECT_EQ(Error("/life_cycle/prompt_response", Data({{"response", 2}})),
            R"(Bad request data: expected {"response": 1 or 0})");
  EXPECT_EQ(Error("/life_cycle/hsw_acked", Data({{"response", 0}})),
            R"(Bad request data: expected {"response": 1})");
  EXPECT_NE(Error("/life_cycle/request_location", Data({{"location", 3}})), "");
  EXPECT_NE(Error("/life_cycle/request_the_void", Data({{"requestTheVoid", true}})), "");
  EXPECT_NE(Error("/hardware/set_audio_mode", Data({{"device", "tarn"}})), "");
  EXPECT_NE(Error("/hardware/set_mirror_settings", Data({{"direction", "fromTarn"}})), "");
}

TEST_F(ShellRequestsTest, UnknownRequestsAndBrokenEnvelopesAreAnswered) {
  EXPECT_EQ(Error("/life_cycle/teleport"), "Unknown request: /life_cycle/teleport");
  for (const char* envelope : {"not json", "[1,2]", R"({"sequenceId":5})"}) {
    const ShellResponse response = requests_->Answer(envelope);
    const std::optional<Json::Value> message = ParseHubMessage(response.message);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(PayloadType(*message), "ERROR") << envelope;
    EXPECT_EQ((*message)["sequenceId"].asString(), "") << envelope;
  }
  EXPECT_EQ(requests_->Answer(R"({"sequenceId":"3"})").path, "");
}

TEST_F(ShellRequestsTest, AnOlderShellKnowsNothingOfTheDash) {
  Build(true);
  for (const char* path :
       {"/life_cycle/get_dash_visibility", "/life_cycle/get_focused_pid",
        "/life_cycle/get_hsw_needed", "/life_cycle/hsw_acked", "/life_cycle/close_app"}) {
    EXPECT_EQ(Error(path), std::string("Unknown request: ") + path);
  }
  const SessionId session = Launch(600);
  EXPECT_EQ(Ask("/life_cycle/get_top_app_render_pid")["payload"]["pid"].asUInt(), 600u);
  EXPECT_EQ(Ask("/life_cycle/get_actual_location")["payload"]["location"].asString(), "HSW");
  EXPECT_TRUE(Ok("/life_cycle/prompt_response", Data({{"response", 1}})));
  EXPECT_TRUE(Status(session).visible);
  EXPECT_TRUE(Ok("/life_cycle/request_the_void",
                 Data({{"requestTheVoid", true}, {"pid", Json::UInt(600)}})));
  EXPECT_FALSE(Status(session).visible);
}

}  // namespace
}  // namespace luxsim
