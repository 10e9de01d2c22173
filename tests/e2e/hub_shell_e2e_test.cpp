// The validator's shell client against the simulated runtime's shell service, newer and older,
// where the validator's own runs do not reach: settings refused, the older shell's quick
// refusal, the reconnect after the service restarts, and a late response. Each case starts
// its own service on the simulated machine (scripts/with-simulator --no-service).

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "hub/hub_message.h"
#include "hub/hub_remote_control.h"
#include "lux/lux_capi.h"
#include "support/service_process.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using QasValidator::HubRemoteControl;
using QasValidator::HubTiming;
using testsupport::ServiceProcess;

// Short waits where the test does not measure them.
constexpr HubTiming kQuick{5000, 100};
const uint32_t kSelf = static_cast<uint32_t>(getpid());

std::string Location(HubRemoteControl& hub) {
  std::string location;
  EXPECT_TRUE(hub.GetActualLocation(location));
  return location;
}

uint32_t FocusedPid(HubRemoteControl& hub) {
  uint32_t pid = 12345;
  EXPECT_TRUE(hub.GetFocusedPid(pid));
  return pid;
}

// The settings the audio test makes are taken (AudioOutputE2E); others are refused.
TEST(HubShellE2E, AudioAndMirrorSettingsThatDoNotExistAreRefused) {
  ServiceProcess service;
  ASSERT_TRUE(service.Ready());
  HubRemoteControl hub(kQuick);
  EXPECT_FALSE(hub.SetMirrorSettings("off", "sideways"));
  EXPECT_FALSE(hub.SetAudioMode("speakers", "output"));
}

TEST(HubShellE2E, AnOlderShellFailsTheDashProbeAtOnceAndAnswersThroughItsPrompt) {
  ServiceProcess service({"--older-shell"});
  ASSERT_TRUE(service.Ready());
  HubRemoteControl hub;  // the validator's own timing: a silent shell would take 30 s
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(hub.GetDashVisibility());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
  uint32_t pid = 12345;
  EXPECT_FALSE(hub.GetFocusedPid(pid));
  EXPECT_EQ(pid, 0u);
  EXPECT_FALSE(hub.GetHswNeeded());
  // This process's session is the application in front.
  ASSERT_EQ(lux_Initialize(nullptr), luxSuccess);
  luxSession session = nullptr;
  luxGraphicsLuid luid{};
  ASSERT_EQ(lux_Create(&session, &luid), luxSuccess);
  const auto status = [session] {
    luxSessionStatus status{};
    EXPECT_EQ(lux_GetSessionStatus(session, &status), luxSuccess);
    return status;
  };
  EXPECT_FALSE(hub.CloseApp(kSelf));
  EXPECT_TRUE(hub.GetTopAppRenderPid(pid));
  EXPECT_EQ(pid, kSelf);
  EXPECT_EQ(Location(hub), "HSW");
  EXPECT_TRUE(hub.PromptResponse());
  EXPECT_TRUE(status().IsVisible);
  EXPECT_TRUE(hub.RequestLocation("APP_CLOSE"));
  EXPECT_TRUE(hub.PromptResponse());
  EXPECT_TRUE(status().ShouldQuit);
  EXPECT_FALSE(hub.PromptResponse());  // nothing is asked any more
  lux_Destroy(session);
  lux_Shutdown();
}

TEST(HubShellE2E, TheClientReconnectsFiveSecondsAfterTheServiceRestarts) {
  std::optional<ServiceProcess> service(std::in_place);
  ASSERT_TRUE(service->Ready());
  HubRemoteControl hub;  // the validator's own timing
  EXPECT_EQ(Location(hub), "UM");
  EXPECT_EQ(service->Stop(), 0);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return !hub.IsConnected(); }));
  service.emplace();
  ASSERT_TRUE(service->Ready());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Location(hub), "UM");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 5000ms);
  EXPECT_LT(took, 9000ms);
  EXPECT_TRUE(hub.IsConnected());
}

TEST(HubShellE2E, ALateResponseIsTakenByNoRequestAndOneToAClientThatLeftIsDropped) {
  ServiceProcess service(
      {"--test-delay-request", "/life_cycle/get_actual_location", "--test-delay-ms", "1500"});
  ASSERT_TRUE(service.Ready());
  {
    HubRemoteControl leaving(HubTiming{100, 100});
    std::string location;
    EXPECT_FALSE(leaving.GetActualLocation(location));
  }
  HubRemoteControl hub(HubTiming{1000, 100});
  std::string location;
  // Request 0 times out; its response arrives while request 1 waits, and must not satisfy it.
  EXPECT_FALSE(hub.GetActualLocation(location));
  EXPECT_FALSE(hub.GetActualLocation(location));
  EXPECT_TRUE(testsupport::WaitUntil([&] { return hub.ReceivedMessages().size() == 2; }, 5000ms));
  std::vector<Json::Value> late = hub.ReceivedMessages();
  ASSERT_EQ(late.size(), 2u);
  EXPECT_EQ(late[0]["sequenceId"].asString(), "0");
  EXPECT_EQ(late[1]["sequenceId"].asString(), "1");
  EXPECT_EQ(QasValidator::PayloadType(late[0]), "LIFE_CYCLE_LOCATION_UPDATE");
  EXPECT_EQ(late[0]["payload"]["location"].asString(), "UM");
  // Other requests are answered in time and leave the late responses alone.
  EXPECT_EQ(FocusedPid(hub), 0u);
  EXPECT_EQ(hub.ReceivedMessages().size(), 2u);
}

}  // namespace
