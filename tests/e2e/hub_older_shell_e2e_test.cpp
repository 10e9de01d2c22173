// The validator's shell client against the simulated runtime's shell service started as an
// older shell (CORVIA_SIMULATOR_OPTIONS=--older-shell through scripts/with-simulator): no
// dash-visibility query, the warning and the close prompt answered through the location and
// the prompt response.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "hub/hub_remote_control.h"
#include "lux_application.h"

namespace {

using namespace std::chrono_literals;
using e2e::LuxApplication;
using QasValidator::HubRemoteControl;
using QasValidator::HubTiming;

std::string Location(HubRemoteControl& hub) {
  std::string location;
  EXPECT_TRUE(hub.GetActualLocation(location));
  return location;
}

TEST(HubOlderShellE2E, TheDashProbeFailsAtOnce) {
  HubRemoteControl hub;  // the validator's own timing: a silent shell would take 30 s
  ASSERT_TRUE(hub.IsConnected());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(hub.GetDashVisibility());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
  uint32_t pid = 12345;
  EXPECT_FALSE(hub.GetFocusedPid(pid));
  EXPECT_EQ(pid, 0u);
  EXPECT_FALSE(hub.GetHswNeeded());
  EXPECT_FALSE(hub.CloseApp(static_cast<uint32_t>(getpid())));
}

TEST(HubOlderShellE2E, TheWarningAndTheClosePromptTakeThePromptResponse) {
  HubRemoteControl hub(HubTiming{5000, 100});
  LuxApplication app;
  ASSERT_TRUE(app.Running());
  const uint32_t self = static_cast<uint32_t>(getpid());
  uint32_t pid = 0;
  EXPECT_TRUE(hub.GetTopAppRenderPid(pid));
  EXPECT_EQ(pid, self);

  EXPECT_EQ(Location(hub), "HSW");
  EXPECT_FALSE(app.Status().IsVisible);
  EXPECT_TRUE(hub.PromptResponse());
  EXPECT_EQ(Location(hub), "APP");
  EXPECT_TRUE(app.Status().IsVisible);

  EXPECT_TRUE(hub.RequestLocation("APP_CLOSE"));
  EXPECT_EQ(Location(hub), "APP_CLOSE");
  EXPECT_FALSE(app.Status().ShouldQuit);
  EXPECT_TRUE(hub.PromptResponse());
  EXPECT_TRUE(app.Status().ShouldQuit);
  EXPECT_FALSE(hub.PromptResponse());  // nothing is asked any more
}

}  // namespace
