// The simulated runtime client library as an application uses it: linked directly and
// talking to the runtime service of a simulated machine (scripts/with-simulator).

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "command_runner.h"
#include "lux/lux_internal.h"
#include "protocol/adapter_luid.h"
#include "protocol/simulated_headset.h"
#include "support/child_process.h"

namespace {

std::string LastErrorText() {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  return std::to_string(info.Result) + " " + info.ErrorString;
}

luxSessionStatus StatusOf(luxSession session) {
  luxSessionStatus status{};
  EXPECT_EQ(lux_GetSessionStatus(session, &status), luxSuccess);
  return status;
}

class ClientLibraryE2E : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lux_Initialize(nullptr), luxSuccess) << LastErrorText(); }
  void TearDown() override { lux_Shutdown(); }

  luxSession Create() {
    luxSession session = nullptr;
    luxGraphicsLuid luid{};
    EXPECT_EQ(lux_Create(&session, &luid), luxSuccess) << LastErrorText();
    return session;
  }
};

TEST_F(ClientLibraryE2E, ASessionGetsTheHeadsetsAdapterAndTheFocus) {
  luxSession session = nullptr;
  luxGraphicsLuid luid{};
  ASSERT_EQ(lux_Create(&session, &luid), luxSuccess);
  uint64_t value = 0;
  std::memcpy(&value, luid.Reserved, sizeof value);
  EXPECT_EQ(value, luxsim::DisplayAdapterLuid(0));  // the machine's first adapter

  luxSessionStatus status = StatusOf(session);
  EXPECT_TRUE(status.IsVisible);
  EXPECT_TRUE(status.HmdPresent);
  EXPECT_TRUE(status.HmdMounted);
  EXPECT_FALSE(status.DisplayLost);
  EXPECT_FALSE(status.ShouldQuit);
  EXPECT_FALSE(status.ShouldRecenter);

  // The newest session has the focus; it goes back when that session ends.
  luxSession second = Create();
  EXPECT_FALSE(StatusOf(session).IsVisible);
  EXPECT_TRUE(StatusOf(second).IsVisible);
  lux_Destroy(second);
  EXPECT_TRUE(StatusOf(session).IsVisible);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, UnknownSessionsAreRefusedWithAnError) {
  luxSession session = Create();
  lux_Destroy(session);
  luxSessionStatus status{};
  EXPECT_EQ(lux_GetSessionStatus(session, &status), luxError_InvalidSession);
  EXPECT_EQ(LastErrorText(), "-1002 The session is not a session of this process");
}

TEST_F(ClientLibraryE2E, PropertiesKeepTheirValueAndType) {
  EXPECT_TRUE(lux_SetBool(nullptr, "FakeIADEnabled", luxTrue));
  EXPECT_TRUE(lux_GetBool(nullptr, "FakeIADEnabled", luxFalse));
  EXPECT_TRUE(lux_SetInt(nullptr, "FrequentTelEventPid", 4242));
  EXPECT_EQ(lux_GetInt(nullptr, "FrequentTelEventPid", 0), 4242);
  EXPECT_TRUE(lux_SetFloat(nullptr, "FakeIAD", 0.07f));
  EXPECT_FLOAT_EQ(lux_GetFloat(nullptr, "FakeIAD", 0.0f), 0.07f);
  EXPECT_TRUE(lux_SetString(nullptr, "User", "tester"));
  EXPECT_STREQ(lux_GetString(nullptr, "User", "nobody"), "tester");
  const float values[] = {1.5f, -2.0f, 3.25f};
  EXPECT_TRUE(lux_SetFloatArray(nullptr, "Offsets", values, 3));
  float read[4] = {};
  EXPECT_EQ(lux_GetFloatArray(nullptr, "Offsets", read, 2), 2u);
  EXPECT_FLOAT_EQ(read[1], -2.0f);
  // Read with another type, a value is not there.
  EXPECT_EQ(lux_GetInt(nullptr, "User", -1), -1);
  EXPECT_STREQ(lux_GetString(nullptr, "Missing", "fallback"), "fallback");

  // A session's own values hide the runtime's and go with the session.
  luxSession session = Create();
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 4242);
  EXPECT_TRUE(lux_SetInt(session, "FrequentTelEventPid", 7));
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 7);
  EXPECT_EQ(lux_GetInt(nullptr, "FrequentTelEventPid", 0), 4242);
  lux_Destroy(session);
  session = Create();
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 4242);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, EyePosesFollowTheSimulatedInterAxialDistance) {
  luxSession session = Create();
  const luxFovPort fov = luxsim::DefaultEyeFov(luxEye_Left);
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.032f);
  ASSERT_TRUE(lux_SetFloat(nullptr, "FakeIAD", 0.07f));
  // The value counts only while the simulation is switched on.
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.032f);
  ASSERT_TRUE(lux_SetBool(nullptr, "FakeIADEnabled", luxTrue));
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.035f);
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Right, fov).HmdToEyePose.Position.x, 0.035f);
  ASSERT_TRUE(lux_SetBool(nullptr, "FakeIADEnabled", luxFalse));
  const luxEyeRenderDesc desc = lux_GetRenderDesc2(session, luxEye_Right, fov);
  EXPECT_FLOAT_EQ(desc.HmdToEyePose.Position.x, 0.032f);
  EXPECT_FLOAT_EQ(desc.HmdToEyePose.Orientation.w, 1.0f);
  EXPECT_EQ(desc.Eye, luxEye_Right);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, SwapChainsCycleThroughTheirBuffersOnCommit) {
  luxSession session = Create();
  luxTextureSwapChainDesc desc{};
  desc.Format = LUX_FORMAT_R8G8B8A8_UNORM_SRGB;
  desc.Width = 1440;
  desc.Height = 1600;
  desc.ArraySize = 1;
  desc.MipLevels = 1;
  desc.SampleCount = 1;
  luxTextureSwapChain chain = nullptr;
  ASSERT_EQ(lux_CreateTextureSwapChainGL(session, &desc, &chain), luxSuccess);
  int length = 0;
  int index = -1;
  EXPECT_EQ(lux_GetTextureSwapChainLength(session, chain, &length), luxSuccess);
  EXPECT_EQ(length, 3);
  for (const int expected : {0, 1, 2, 0}) {
    EXPECT_EQ(lux_GetTextureSwapChainCurrentIndex(session, chain, &index), luxSuccess);
    EXPECT_EQ(index, expected);
    EXPECT_EQ(lux_CommitTextureSwapChain(session, chain), luxSuccess);
  }
  luxTextureSwapChainDesc read{};
  EXPECT_EQ(lux_GetTextureSwapChainDesc(session, chain, &read), luxSuccess);
  EXPECT_EQ(read.Width, 1440);
  unsigned int first = 0;
  unsigned int second = 0;
  EXPECT_EQ(lux_GetTextureSwapChainBufferGL(session, chain, 0, &first), luxSuccess);
  EXPECT_EQ(lux_GetTextureSwapChainBufferGL(session, chain, 1, &second), luxSuccess);
  EXPECT_NE(first, second);
  lux_DestroyTextureSwapChain(session, chain);
  EXPECT_EQ(lux_CommitTextureSwapChain(session, chain), luxError_TextureSwapChainInvalid);
  void* device = nullptr;
  EXPECT_EQ(lux_CreateTextureSwapChainDX(session, device, &desc, &chain), luxError_Unsupported);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, FramesOfASessionOutOfFocusAreNotShown) {
  luxSession session = Create();
  luxLayerEyeFov layer{};
  layer.Header.Type = luxLayerType_EyeFov;
  const luxLayerHeader* layers[] = {&layer.Header};
  EXPECT_EQ(lux_WaitToBeginFrame(session, 1), luxSuccess);
  EXPECT_EQ(lux_BeginFrame(session, 1), luxSuccess);
  EXPECT_EQ(lux_EndFrame(session, 1, nullptr, layers, 1), luxSuccess);
  luxSession front = Create();
  EXPECT_EQ(lux_SubmitFrame2(session, 2, nullptr, layers, 1), luxSuccess_NotVisible);
  EXPECT_EQ(lux_SubmitFrame2(front, 1, nullptr, layers, 1), luxSuccess);
  lux_Destroy(front);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, InternalFunctionsAreFoundByName) {
  luxi_ReportGenericMetrics_Fn* report = nullptr;
  luxi_EnableRealtimeEventOutput_Fn* enable = nullptr;
  ASSERT_EQ(lux_Lookup("luxi_ReportGenericMetrics", reinterpret_cast<void**>(&report)), luxSuccess);
  ASSERT_EQ(lux_Lookup("luxi_EnableRealtimeEventOutput", reinterpret_cast<void**>(&enable)),
            luxSuccess);
  void* other = nullptr;
  EXPECT_EQ(lux_Lookup("luxi_SetFocus", &other), luxError_LibVersion);
  EXPECT_EQ(other, nullptr);

  EXPECT_EQ(enable(luxTrue), luxSuccess);
  const luxiMetricField fields[] = {{"user_action", "client-e2e"}, {"user_action_param", "1"}};
  EXPECT_EQ(report("corvia_dev_tools", fields, 2, 0), luxSuccess);
  const std::string expected =
      "{\"category\":\"corvia_dev_tools\",\"client_pid\":" + std::to_string(getpid()) +
      ",\"fields\":{\"user_action\":\"client-e2e\",\"user_action_param\""
      ":\"1\"}}\n";
  const std::string prefix = std::getenv("CORVIA_MACHINE_PREFIX");
  EXPECT_EQ(e2e::ReadFile(prefix + "/var/corvia/telemetry.jsonl"), expected);
}

TEST_F(ClientLibraryE2E, TheClientReportsItsBuild) {
  EXPECT_EQ(lux_ReportClientInfo(191627031, 1, 1, 43, 0, 0), luxSuccess);
  EXPECT_STREQ(lux_GetVersionString(), "1.43.0");
  EXPECT_EQ(lux_TraceMessage(0, "hello from the client test"), 0);
}

TEST(ClientLibraryWithoutRuntime, CallsBeforeInitializeFail) {
  luxSession session = nullptr;
  luxGraphicsLuid luid{};
  EXPECT_EQ(lux_Create(&session, &luid), luxError_NotInitialized);
  EXPECT_EQ(LastErrorText(), "-1004 lux_Initialize was not called");
}

TEST(ClientLibraryWithoutRuntime, InitializeFailsWithoutAService) {
  const auto run = testsupport::RunInChild([] {
    const std::string empty = testing::TempDir() + "client_e2e_empty_machine";
    std::filesystem::create_directories(empty);
    setenv("CORVIA_MACHINE_PREFIX", empty.c_str(), 1);
    std::cout << lux_Initialize(nullptr) << "; " << LastErrorText();
    return 0;
  });
  EXPECT_EQ(run.out,
            "-3003; -3003 Unable to connect to the Corvia runtime service: No such file or "
            "directory");
}

TEST(ClientLibraryWithoutRuntime, TooOldAMinorVersionIsRefused) {
  luxInitParams params{};
  params.Flags = luxInit_RequestVersion;
  params.RequestedMinorVersion = 16;
  EXPECT_EQ(lux_Initialize(&params), luxError_LibVersion);
}

}  // namespace
