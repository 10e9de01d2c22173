// The simulated runtime client library as an application uses it: linked directly and
// talking to the runtime service of a simulated machine (scripts/with-simulator).

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lux/lux_internal.h"
#include "protocol/simulated_headset.h"

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
    uint64_t value = 0;
    std::memcpy(&value, luid.Reserved, sizeof value);
    EXPECT_EQ(value, luxsim::kHeadsetAdapterLuid);
    return session;
  }
};

TEST_F(ClientLibraryE2E, TheNewestSessionHasTheFocusAndFramesOfOthersAreNotShown) {
  luxSession session = Create();
  luxSessionStatus status = StatusOf(session);
  EXPECT_TRUE(status.IsVisible && status.HmdPresent && status.HmdMounted);
  EXPECT_FALSE(status.DisplayLost || status.ShouldQuit || status.ShouldRecenter);
  luxLayerEyeFov layer{};
  layer.Header.Type = luxLayerType_EyeFov;
  const luxLayerHeader* layers[] = {&layer.Header};
  EXPECT_EQ(lux_WaitToBeginFrame(session, 1), luxSuccess);
  EXPECT_EQ(lux_BeginFrame(session, 1), luxSuccess);
  EXPECT_EQ(lux_EndFrame(session, 1, nullptr, layers, 1), luxSuccess);
  luxSession front = Create();
  EXPECT_FALSE(StatusOf(session).IsVisible);
  EXPECT_EQ(lux_SubmitFrame2(session, 2, nullptr, layers, 1), luxSuccess_NotVisible);
  EXPECT_EQ(lux_SubmitFrame2(front, 1, nullptr, layers, 1), luxSuccess);
  lux_Destroy(front);
  EXPECT_TRUE(StatusOf(session).IsVisible);  // the focus goes back
  lux_Destroy(session);
  EXPECT_EQ(lux_GetSessionStatus(session, &status), luxError_InvalidSession);
  EXPECT_EQ(LastErrorText(), "-1002 The session is not a session of this process");
}

TEST_F(ClientLibraryE2E, PropertiesKeepTheirValueAndTypeAndASessionsOwnGoWithIt) {
  EXPECT_TRUE(lux_SetInt(nullptr, "FrequentTelEventPid", 4242));
  EXPECT_TRUE(lux_SetString(nullptr, "User", "tester"));
  EXPECT_STREQ(lux_GetString(nullptr, "User", "nobody"), "tester");
  EXPECT_EQ(lux_GetInt(nullptr, "User", -1), -1);  // read with another type: not there
  EXPECT_STREQ(lux_GetString(nullptr, "Missing", "fallback"), "fallback");
  const float values[] = {1.5f, -2.0f, 3.25f};
  EXPECT_TRUE(lux_SetFloatArray(nullptr, "Offsets", values, 3));
  float read[4] = {};
  EXPECT_EQ(lux_GetFloatArray(nullptr, "Offsets", read, 2), 2u);
  EXPECT_FLOAT_EQ(read[1], -2.0f);
  luxSession session = Create();
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 4242);
  EXPECT_TRUE(lux_SetInt(session, "FrequentTelEventPid", 7));
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 7);
  EXPECT_EQ(lux_GetInt(nullptr, "FrequentTelEventPid", 0), 4242);
  lux_Destroy(session);
  session = Create();
  EXPECT_EQ(lux_GetInt(session, "FrequentTelEventPid", 0), 4242);

  // The eyes follow the simulated inter-axial distance only while its simulation is on.
  const luxFovPort fov = luxsim::DefaultEyeFov(luxEye_Left);
  ASSERT_TRUE(lux_SetFloat(nullptr, "FakeIAD", 0.07f));
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.032f);
  ASSERT_TRUE(lux_SetBool(nullptr, "FakeIADEnabled", luxTrue));
  EXPECT_TRUE(lux_GetBool(nullptr, "FakeIADEnabled", luxFalse));
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.035f);
  const luxEyeRenderDesc desc = lux_GetRenderDesc2(session, luxEye_Right, fov);
  EXPECT_FLOAT_EQ(desc.HmdToEyePose.Position.x, 0.035f);
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
  desc.ArraySize = desc.MipLevels = desc.SampleCount = 1;
  luxTextureSwapChain chain = nullptr;
  ASSERT_EQ(lux_CreateTextureSwapChainGL(session, &desc, &chain), luxSuccess);
  int length = 0;
  EXPECT_EQ(lux_GetTextureSwapChainLength(session, chain, &length), luxSuccess);
  EXPECT_EQ(length, 3);
  for (const int expected : {0, 1, 2, 0}) {
    int index = -1;
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
  EXPECT_EQ(lux_CreateTextureSwapChainDX(session, nullptr, &desc, &chain), luxError_Unsupported);
  lux_Destroy(session);
}

TEST_F(ClientLibraryE2E, InternalFunctionsOtherThanTheOfferedOnesAreNotFound) {
  void* function = nullptr;
  EXPECT_EQ(lux_Lookup("luxi_ReportGenericMetrics", &function), luxSuccess);
  EXPECT_NE(function, nullptr);
  void* other = nullptr;
  EXPECT_EQ(lux_Lookup("luxi_SetFocus", &other), luxError_LibVersion);
  EXPECT_EQ(other, nullptr);
}

TEST(ClientLibraryWithoutRuntime, CallsBeforeInitializeAndTooOldAMinorVersionAreRefused) {
  luxSession session = nullptr;
  luxGraphicsLuid luid{};
  EXPECT_EQ(lux_Create(&session, &luid), luxError_NotInitialized);
  EXPECT_EQ(LastErrorText(), "-1004 lux_Initialize was not called");
  luxInitParams params{};
  params.Flags = luxInit_RequestVersion;
  params.RequestedMinorVersion = 16;
  EXPECT_EQ(lux_Initialize(&params), luxError_LibVersion);
}

}  // namespace
