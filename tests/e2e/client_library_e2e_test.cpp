// The simulated runtime client library linked directly into an application and talking to
// the runtime service of a simulated machine (scripts/with-simulator). The sample
// application's runs exercise what applications ordinarily do.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lux/lux_capi.h"
#include "protocol/adapter_luid.h"
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
    EXPECT_EQ(value, luxsim::DisplayAdapterLuid(0));  // the machine's first adapter
    return session;
  }
};

// What the sample application's runs do not show: the answers an application gets when it is
// out of focus or asks for what is not there, and the inter-axial distance switched off.
TEST_F(ClientLibraryE2E, RefusalsAndTheSimulatedInterAxialDistanceWhileSwitchedOff) {
  luxSession session = Create();
  luxLayerEyeFov layer{};
  layer.Header.Type = luxLayerType_EyeFov;
  const luxLayerHeader* layers[] = {&layer.Header};
  luxSession front = Create();
  EXPECT_FALSE(StatusOf(session).IsVisible);
  EXPECT_EQ(lux_SubmitFrame2(session, 1, nullptr, layers, 1), luxSuccess_NotVisible);
  lux_Destroy(front);
  EXPECT_TRUE(StatusOf(session).IsVisible);  // the focus goes back
  ASSERT_TRUE(lux_SetFloat(nullptr, "FakeIAD", 0.07f));
  const luxFovPort fov = luxsim::DefaultEyeFov(luxEye_Left);
  EXPECT_FLOAT_EQ(lux_GetRenderDesc2(session, luxEye_Left, fov).HmdToEyePose.Position.x, -0.032f);
  EXPECT_EQ(lux_GetInt(nullptr, "FakeIAD", -1), -1);  // read with another type: not there
  luxTextureSwapChainDesc desc{};
  luxTextureSwapChain chain = nullptr;
  EXPECT_EQ(lux_CreateTextureSwapChainDX(session, nullptr, &desc, &chain), luxError_Unsupported);
  void* other = nullptr;
  EXPECT_EQ(lux_Lookup("luxi_SetFocus", &other), luxError_LibVersion);
  EXPECT_EQ(other, nullptr);
  lux_Destroy(session);
  luxSessionStatus status{};
  EXPECT_EQ(lux_GetSessionStatus(session, &status), luxError_InvalidSession);
  EXPECT_EQ(LastErrorText(), "-1002 The session is not a session of this process");
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
