// A small application of the runtime SDK for the end-to-end test of the realtime event stream.
// It reports its SDK build and names its engine, makes a session, reads the restricted
// property "User" and both eyes' rendering descriptions, submits FRAMES frames (default 90)
// at 90 Hz, each after committing its swap chain, with an eye-fov layer and a head-locked quad,
// raises the transient runtime error -90011, then waits until its standard input ends and
// exits without ending its session.
//
// Usage: stream_client_app [FRAMES]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "lux/lux_capi.h"
#include "lux/lux_simulator.h"

namespace {

int Fail(const char* what) {
  luxErrorInfo error{};
  lux_GetLastErrorInfo(&error);
  std::fprintf(stderr, "stream_client_app: %s failed: %d %s\n", what, error.Result,
               error.ErrorString);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 90;
  if (lux_Initialize(nullptr) != luxSuccess) return Fail("lux_Initialize");
  if (lux_ReportClientInfo(1900, 1, 1, 43, 0, 0) != luxSuccess) return Fail("lux_ReportClientInfo");
  if (lux_IdentifyClient("EngineName: StreamTest\nEngineVersion: 2.5\n"
                         "EnginePluginName: StreamPlugin\nEnginePluginVersion: 0.9\n") !=
      luxSuccess) {
    return Fail("lux_IdentifyClient");
  }
  luxSession session = nullptr;
  luxGraphicsLuid luid{};
  if (lux_Create(&session, &luid) != luxSuccess) return Fail("lux_Create");
  lux_GetString(session, "User", "");

  const luxHmdDesc hmd = lux_GetHmdDesc(session);
  luxTextureSwapChainDesc chainDesc{};
  chainDesc.Type = luxTexture_2D;
  chainDesc.Format = LUX_FORMAT_R8G8B8A8_UNORM_SRGB;
  chainDesc.ArraySize = 1;
  chainDesc.Width = 2880;
  chainDesc.Height = 1600;
  chainDesc.MipLevels = 1;
  chainDesc.SampleCount = 1;
  luxTextureSwapChain chain = nullptr;
  if (lux_CreateTextureSwapChainGL(session, &chainDesc, &chain) != luxSuccess) {
    return Fail("lux_CreateTextureSwapChainGL");
  }
  luxLayerEyeFov scene{};
  scene.Header.Type = luxLayerType_EyeFov;
  for (const luxEyeType eye : {luxEye_Left, luxEye_Right}) {
    const luxEyeRenderDesc desc = lux_GetRenderDesc2(session, eye, hmd.DefaultEyeFov[eye]);
    scene.ColorTexture[eye] = chain;
    scene.Fov[eye] = hmd.DefaultEyeFov[eye];
    scene.RenderPose[eye] = desc.HmdToEyePose;
  }
  luxLayerQuad hud{};
  hud.Header.Type = luxLayerType_HeadLockedQuad;
  hud.ColorTexture = chain;
  hud.QuadPoseCenter.Orientation.w = 1.0f;
  hud.QuadPoseCenter.Position.z = -1.0f;
  hud.QuadSize = {0.5f, 0.25f};
  const luxLayerHeader* layers[] = {&scene.Header, &hud.Header};

  auto due = std::chrono::steady_clock::now();
  for (long long frame = 1; frame <= frames; ++frame) {
    if (lux_WaitToBeginFrame(session, frame) != luxSuccess ||
        lux_BeginFrame(session, frame) != luxSuccess ||
        lux_CommitTextureSwapChain(session, chain) != luxSuccess ||
        lux_EndFrame(session, frame, nullptr, layers, 2) != luxSuccess) {
      return Fail("submitting a frame");
    }
    due += std::chrono::microseconds(11111);
    std::this_thread::sleep_until(due);
  }

  luxsim_RaiseRuntimeError_Fn* raise = nullptr;
  if (lux_Lookup("luxsim_RaiseRuntimeError", reinterpret_cast<void**>(&raise)) != luxSuccess ||
      raise(-90011, "Simulated transient failure", luxFalse) != luxSuccess) {
    return Fail("luxsim_RaiseRuntimeError");
  }
  char byte;
  while (read(STDIN_FILENO, &byte, 1) > 0) {
  }
  return 0;
}
