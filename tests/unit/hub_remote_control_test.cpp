#include "hub/hub_remote_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "hub/hub_message.h"
#include "ipc/call_status.h"
#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"
#include "support/shell_service.h"
#include "support/wait_until.h"

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::RunInChild;

constexpr HubTiming kQuick{2000, 50};

using testsupport::Scripted;
using testsupport::SequenceIdOf;
using testsupport::ShellMessage;
using testsupport::ShellService;

class HubRemoteControlTest : public testing::Test {
 protected:
  testsupport::ScopedMachinePrefix prefix_;
};

TEST_F(HubRemoteControlTest, EveryRequestSendsItsEnvelope) {
  ShellService service;
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  std::string text;
  uint32_t pid = 0;
  EXPECT_TRUE(hub.CloseApp(42));
  EXPECT_TRUE(hub.RequestLocation("UM"));
  EXPECT_TRUE(hub.RequestAppShouldRecenter(4294967295u));
  EXPECT_TRUE(hub.PromptResponse());
  EXPECT_TRUE(hub.SetProximitySensor(false));
  EXPECT_TRUE(hub.RequestTheVoid(true, 9));
  EXPECT_TRUE(hub.SetAudioMode("tarn", "output"));
  EXPECT_TRUE(hub.SetMirrorSettings("off", "fromDesktop"));
  hub.GetActualLocation(text);
  hub.GetHswNeeded();
  EXPECT_TRUE(hub.HswAcked());
  hub.GetTopAppRenderPid(pid);
  hub.GetFocusedPid(pid);
  hub.GetDashVisibility(text);
  hub.GetDashVisibility();
  hub.GetFocusAware(5);
  const std::vector<std::string> expected = {
      R"({"requestData":{"pid":42},"requestName":"/life_cycle/close_app","sequenceId":"0"})",
      R"({"requestData":{"location":"UM"},"requestName":"/life_cycle/request_location",)"
      R"("sequenceId":"1"})",
      R"({"requestData":{"pid":4294967295},"requestName":)"
      R"("/life_cycle/request_app_should_recenter","sequenceId":"2"})",
      R"({"requestData":{"response":1},"requestName":"/life_cycle/prompt_response",)"
      R"("sequenceId":"3"})",
      R"({"requestData":{"wearing_hmd":false},"requestName":"/hardware/set_proximity_sensor",)"
      R"("sequenceId":"4"})",
      R"({"requestData":{"pid":9,"requestTheVoid":true},"requestName":)"
      R"("/life_cycle/request_the_void","sequenceId":"5"})",
      R"({"requestData":{"device":"tarn","mode":"output"},"requestName":)"
      R"("/hardware/set_audio_mode","sequenceId":"6"})",
      R"({"requestData":{"direction":"fromDesktop","mode":"off"},"requestName":)"
      R"("/hardware/set_mirror_settings","sequenceId":"7"})",
      R"({"requestData":"","requestName":"/life_cycle/get_actual_location","sequenceId":"8"})",
      R"({"requestData":"","requestName":"/life_cycle/get_hsw_needed","sequenceId":"9"})",
      R"({"requestData":{"response":1},"requestName":"/life_cycle/hsw_acked",)"
      R"("sequenceId":"10"})",
      R"({"requestData":"","requestName":"/life_cycle/get_top_app_render_pid",)"
      R"("sequenceId":"11"})",
      R"({"requestData":"","requestName":"/life_cycle/get_focused_pid","sequenceId":"12"})",
      R"({"requestData":"","requestName":"/life_cycle/get_dash_visibility","sequenceId":"13"})",
      R"({"requestData":"","requestName":"/life_cycle/get_dash_visibility","sequenceId":"14"})",
      R"({"requestData":{"pid":5},"requestName":"/life_cycle/get_focus_aware",)"
      R"("sequenceId":"15"})",
  };
  EXPECT_EQ(service.Requests(), expected);
}

TEST_F(HubRemoteControlTest, AnOkAnswerIsOkOrOkButNotLowerCase) {
  ShellService service(Scripted({{"PLAIN_STRING", R"({"value":"OK"})"},
                                 {"PLAIN_STRING", R"({"value":"Ok"})"},
                                 {"PLAIN_STRING", R"({"value":"ok"})"},
                                 {"PLAIN_PID", R"({"value":"OK"})"},
                                 {"PLAIN_STRING", R"({"value":true})"},
                                 {"PLAIN_STRING", R"({})"}}));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  EXPECT_TRUE(hub.RequestLocation("APP"));
  EXPECT_TRUE(hub.SetAudioMode("windowsDefault", "output"));
  EXPECT_FALSE(hub.CloseApp(1));
  EXPECT_FALSE(hub.PromptResponse());
  EXPECT_FALSE(hub.SetProximitySensor(true));
  EXPECT_FALSE(hub.RequestTheVoid(false, 1));
  EXPECT_TRUE(hub.ReceivedMessages().empty());  // every response was taken
}

TEST_F(HubRemoteControlTest, TheLocationComesFromALocationUpdate) {
  ShellService service(Scripted({{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})"},
                                 {"PLAIN_STRING", R"({"location":"UM"})"},
                                 {"LIFE_CYCLE_LOCATION_UPDATE", R"({"place":"UM"})"}}));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  std::string location = "before";
  EXPECT_TRUE(hub.GetActualLocation(location));
  EXPECT_EQ(location, "APP");
  EXPECT_FALSE(hub.GetActualLocation(location));
  EXPECT_EQ(location, "");
  location = "before";
  EXPECT_FALSE(hub.GetActualLocation(location));
  EXPECT_EQ(location, "");
}

TEST_F(HubRemoteControlTest, TheHealthAndSafetyWarningRequests) {
  ShellService service(Scripted({{"HSW_NEEDED_UPDATE", R"({"needed":true})"},
                                 {"HSW_NEEDED_UPDATE", R"({"needed":false})"},
                                 {"PLAIN_STRING", R"({"needed":true})"},
                                 {"SOMETHING_ELSE", R"({})"}}));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  EXPECT_TRUE(hub.GetHswNeeded());
  EXPECT_FALSE(hub.GetHswNeeded());
  EXPECT_FALSE(hub.GetHswNeeded());
  // The acknowledgement only needs a response, which it leaves in the list.
  EXPECT_TRUE(hub.HswAcked());
  const std::vector<Json::Value> left = hub.ReceivedMessages();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(HasSequenceId(left[0], "3"));
  hub.ClearMessages();
  EXPECT_TRUE(hub.ReceivedMessages().empty());
}

TEST_F(HubRemoteControlTest, ProcessIdsComeFromAPlainPidAnswer) {
  ShellService service(Scripted({{"PLAIN_PID", R"({"pid":1234})"},
                                 {"PLAIN_PID", R"({})"},
                                 {"PLAIN_PID", R"({"pid":-1})"},
                                 {"PLAIN_PID", R"({"pid":"77"})"},
                                 {"BOOL", R"({"pid":5})"},
                                 {"PLAIN_PID", R"({"pid":4321})"}}));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  uint32_t pid = 99;
  EXPECT_TRUE(hub.GetTopAppRenderPid(pid));
  EXPECT_EQ(pid, 1234u);
  for (int i = 0; i < 4; ++i) {
    pid = 99;
    EXPECT_FALSE(hub.GetFocusedPid(pid)) << i;
    EXPECT_EQ(pid, 0u) << i;
  }
  EXPECT_TRUE(hub.GetFocusedPid(pid));
  EXPECT_EQ(pid, 4321u);
}

TEST_F(HubRemoteControlTest, TheDashVisibilityAndItsProbe) {
  ShellService service(Scripted({{"DASH_VISIBILITY", R"({"dashVisibility":"VISIBLE"})"},
                                 {"DASH_VISIBILITY", R"({"dashVisibility":"HIDDEN"})"},
                                 {"DASH_VISIBILITY", R"({"dashVisibility":1})"},
                                 {"DASH_VISIBILITY", R"({"dashVisibility":null})"},
                                 {"DASH_VISIBILITY", R"({})"},
                                 {"PLAIN_STRING", R"({"dashVisibility":"VISIBLE"})"}}));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  std::string visibility;
  EXPECT_TRUE(hub.GetDashVisibility(visibility));
  EXPECT_EQ(visibility, "VISIBLE");
  EXPECT_TRUE(hub.GetDashVisibility());
  EXPECT_TRUE(hub.GetDashVisibility(visibility));  // any value counts, shown as JSON
  EXPECT_EQ(visibility, "1");
  EXPECT_TRUE(hub.GetDashVisibility());
  EXPECT_FALSE(hub.GetDashVisibility(visibility));
  EXPECT_FALSE(hub.GetDashVisibility());
}

TEST_F(HubRemoteControlTest, FocusAwarenessDefaultsToNotAwareWithANote) {
  const auto run = RunInChild([] {
    ShellService service(Scripted({{"BOOL", R"({"value":true})"},
                                   {"BOOL", R"({"value":false})"},
                                   {"BOOL", R"({"value":1})"},
                                   {"BOOL", R"({"value":"true"})"},
                                   {"BOOL", R"({})"},
                                   {"PLAIN_STRING", R"({"value":true})"}}));
    if (!service.Start()) return 2;
    HubRemoteControl hub(kQuick);
    std::printf("-\n");
    EXPECT_TRUE(hub.GetFocusAware(1));
    EXPECT_FALSE(hub.GetFocusAware(1));
    EXPECT_TRUE(hub.GetFocusAware(1));
    EXPECT_FALSE(hub.GetFocusAware(1));  // answered, but with no true value
    std::printf("-\n");
    EXPECT_FALSE(hub.GetFocusAware(1));
    EXPECT_FALSE(hub.GetFocusAware(1));
    std::fflush(stdout);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  const std::string note =
      "Could not determine if app is focus aware. Testing as if app is not focus aware.\n";
  EXPECT_EQ(run.out, "-\n-\n" + note + note);
}

TEST_F(HubRemoteControlTest, VerboseLinesOfARequest) {
  const auto run = RunInChild([] {
    SetVerboseLogging(true);
    ShellService service;
    if (!service.Start()) return 2;
    HubRemoteControl hub(kQuick);
    EXPECT_TRUE(hub.RequestLocation("UM"));
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out,
            "Connecting client (Response: 0)\n"
            R"(Sending message to HUB: {"requestData":{"location":"UM"},)"
            R"("requestName":"/life_cycle/request_location","sequenceId":"0"})"
            "\n"
            R"(Response from HUB: {"messageType":"RESPONSE","sequenceId":"0",)"
            R"("payloadType":"PLAIN_STRING","payload":{"value":"OK"}})"
            "\n");
}

TEST_F(HubRemoteControlTest, AResponseOfATimedOutRequestIsLeftForNobody) {
  const auto run = RunInChild([] {
    ShellService* self = nullptr;
    ShellService service([&self](const Json::Value& request) -> std::vector<std::string> {
      const std::string id = SequenceIdOf(request);
      if (id == "0") return {};  // too late for its request
      // The late answer to request 0 arrives first, this request's own answer after a while.
      self->SendLater(ShellMessage(id, "PLAIN_STRING", R"({"value":"Ok"})"), 100ms);
      return {ShellMessage("0", "PLAIN_STRING", R"({"value":"OK"})")};
    });
    self = &service;
    if (!service.Start()) return 2;
    HubRemoteControl hub(HubTiming{1000, 50});
    EXPECT_FALSE(hub.CloseApp(1));
    std::printf("-\n");
    EXPECT_TRUE(hub.CloseApp(2));
    const std::vector<Json::Value> left = hub.ReceivedMessages();
    EXPECT_EQ(left.size(), 1u);
    if (!left.empty()) {
      EXPECT_TRUE(HasSequenceId(left[0], "0"));
    }
    std::fflush(stdout);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out, "ERROR: Response from HUB was not received before timeout (1 seconds)\n-\n");
}

TEST_F(HubRemoteControlTest, MessagesThatAreNoResponseAreKeptButWakeNobody) {
  const auto run = RunInChild([] {
    ShellService service([](const Json::Value& request) -> std::vector<std::string> {
      if (SequenceIdOf(request) == "0") return {ShellMessage("", "PLAIN_STRING", "{}", "EVENT")};
      return {"not json", ShellMessage("", "DASH_VISIBILITY", "{}", "EVENT"),
              ShellMessage(SequenceIdOf(request), "PLAIN_STRING", R"({"value":"OK"})")};
    });
    if (!service.Start()) return 2;
    HubRemoteControl hub(HubTiming{200, 50});
    EXPECT_FALSE(hub.CloseApp(1));  // only an event came
    EXPECT_TRUE(hub.CloseApp(1));
    const std::vector<Json::Value> left = hub.ReceivedMessages();
    EXPECT_EQ(left.size(), 2u);
    for (const Json::Value& message : left) EXPECT_FALSE(IsResponse(message));
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out,
            "ERROR: Response from HUB was not received before timeout (0 seconds)\n"
            "ERROR: Unable to parse message received from HUB\n");
}

TEST_F(HubRemoteControlTest, AServiceThatNeverTakesTheCallFailsTheRequestInTime) {
  const auto run = RunInChild([] {
    std::atomic<bool> release{false};
    ShellService service([&release](const Json::Value&) -> std::vector<std::string> {
      while (!release) std::this_thread::sleep_for(5ms);
      return {};
    });
    if (!service.Start()) return 2;
    HubRemoteControl hub(HubTiming{1000, 50});
    EXPECT_FALSE(hub.CloseApp(1));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !hub.IsConnected(); }, 1s));
    release = true;
    std::fflush(stdout);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out, "ERROR: Response from HUB was not received before timeout (1 seconds)\n");
}

TEST_F(HubRemoteControlTest, KeepsAtMostTheNewestMessagesAndCountsTheDropped) {
  ShellService service([](const Json::Value& request) {
    std::vector<std::string> messages(300, ShellMessage("", "PLAIN_STRING", "{}", "EVENT"));
    messages.push_back(ShellMessage(SequenceIdOf(request), "PLAIN_STRING", R"({"value":"OK"})"));
    return messages;
  });
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  EXPECT_TRUE(hub.CloseApp(1));
  EXPECT_EQ(hub.ReceivedMessages().size(), HubRemoteControl::kMaxKeptMessages - 1);
  EXPECT_EQ(hub.DroppedMessages(), 301 - HubRemoteControl::kMaxKeptMessages);
}

TEST_F(HubRemoteControlTest, WithoutTheServiceEachRequestPausesRetriesAndFails) {
  const auto run = RunInChild([] {
    SetVerboseLogging(true);
    HubRemoteControl hub(kQuick);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hub.SetProximitySensor(true));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    std::printf("-\n");
    ShellService service;
    if (!service.Start()) return 2;
    EXPECT_TRUE(hub.SetProximitySensor(true));
    std::fflush(stdout);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  const std::string sent = R"(Sending message to HUB: {"requestData":{"wearing_hmd":true},)"
                           R"("requestName":"/hardware/set_proximity_sensor","sequenceId":")";
  EXPECT_EQ(run.out,
            "Connecting client (Response: 1)\n"
            "Client is not currently connected, reconnecting\n"
            "Connecting client (Response: 1)\n" +
                sent + "0\"}\n" +
                "ERROR: Message from HUB returned an error: ERROR: Failed to send message: "
                "Disconnected\n"
                "-\n"
                "Client is not currently connected, reconnecting\n"
                "Connecting client (Response: 0)\n" +
                sent + "1\"}\n" +
                R"(Response from HUB: {"messageType":"RESPONSE","sequenceId":"1",)"
                R"("payloadType":"PLAIN_STRING","payload":{"value":"OK"}})"
                "\n");
}

TEST_F(HubRemoteControlTest, ALostConnectionIsReestablishedByTheNextRequest) {
  ShellService service;
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  EXPECT_TRUE(hub.CloseApp(1));
  EXPECT_TRUE(hub.IsConnected());
  service.Connection()->Close();
  EXPECT_TRUE(testsupport::WaitUntil([&] { return !hub.IsConnected(); }));
  EXPECT_TRUE(hub.CloseApp(2));
  EXPECT_TRUE(hub.IsConnected());
  EXPECT_EQ(service.Requests().size(), 2u);
  service.Stop();
  EXPECT_FALSE(hub.CloseApp(3));
}

TEST_F(HubRemoteControlTest, AWaitingRequestFailsAtOnceWhenTheConnectionGoes) {
  const auto run = RunInChild([] {
    ShellService* self = nullptr;
    ShellService service([&self](const Json::Value&) -> std::vector<std::string> {
      self->DisconnectLater(50ms);
      return {};
    });
    self = &service;
    if (!service.Start()) return 2;
    HubRemoteControl hub(HubTiming{10000, 50});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hub.CloseApp(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out, "");  // no timeout line
}

TEST_F(HubRemoteControlTest, RequestsFromSeveralThreadsEachGetTheirOwnAnswer) {
  ShellService service([](const Json::Value& request) {
    return std::vector<std::string>{ShellMessage(SequenceIdOf(request), "PLAIN_PID",
                                                 R"({"pid":)" + SequenceIdOf(request) + "}")};
  });
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        uint32_t pid = UINT32_MAX;
        if (hub.GetFocusedPid(pid) && pid < 100) ++answered;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(answered, 100);
  EXPECT_TRUE(hub.ReceivedMessages().empty());
}

}  // namespace
}  // namespace QasValidator
