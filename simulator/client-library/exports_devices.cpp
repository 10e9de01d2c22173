// Exports about input devices, haptics, the boundary, performance statistics, cameras, audio
// devices, desktop windows and graphics-API extensions. The simulated headset has no
// controllers and no external cameras; its guardian boundary is a fixed rectangle.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "lux/lux_capi.h"
#include "protocol/messages.h"
#include "runtime_client.h"

using luxsim::InvalidArgument;
using luxsim::RuntimeClient;
using luxsim::ValidSession;

namespace {

// Half the width and depth of the play area and of the outer boundary, in metres.
constexpr float kPlayAreaHalfSize = 1.0f;
constexpr float kOuterHalfSize = 1.5f;

std::atomic<bool> boundaryVisible{false};

float HalfSizeOf(luxBoundaryType boundaryType) {
  return boundaryType == luxBoundary_Outer ? kOuterHalfSize : kPlayAreaHalfSize;
}

// Distance of a floor point from the nearest edge of the boundary rectangle.
luxBoundaryTestResult TestPoint(const luxVector3f& point, luxBoundaryType boundaryType) {
  const float half = HalfSizeOf(boundaryType);
  const float toX = half - std::fabs(point.x);
  const float toZ = half - std::fabs(point.z);
  luxBoundaryTestResult result{};
  const bool nearerX = toX < toZ;
  result.ClosestDistance = std::max(0.0f, std::min(toX, toZ));
  result.ClosestPoint = {nearerX ? std::copysign(half, point.x) : point.x, 0.0f,
                         nearerX ? point.z : std::copysign(half, point.z)};
  result.ClosestPointNormal = {nearerX ? -std::copysign(1.0f, point.x) : 0.0f, 0.0f,
                               nearerX ? 0.0f : -std::copysign(1.0f, point.z)};
  result.IsTriggering = result.ClosestDistance < 0.3f ? luxTrue : luxFalse;
  return result;
}

// Copies a blank-separated list of extension names the way the Vulkan queries do: the size
// needed when no buffer is given, otherwise the names if they fit.
luxResult CopyExtensionNames(const char* names, char* buffer, uint32_t* inoutSize) {
  if (inoutSize == nullptr) {
    return InvalidArgument("No size given");
  }
  const uint32_t needed = static_cast<uint32_t>(std::strlen(names) + 1);
  if (buffer == nullptr) {
    *inoutSize = needed;
    return luxSuccess;
  }
  if (*inoutSize < needed) {
    *inoutSize = needed;
    return RuntimeClient::Instance().Fail(luxError_InsufficientArraySize, "Buffer too small");
  }
  std::memcpy(buffer, names, needed);
  *inoutSize = needed;
  return luxSuccess;
}

// The headset's audio endpoints as Windows knows them (the output's id as a string comes from
// the runtime service, see lux_GetAudioDeviceOutGuidStr).
constexpr luxGuid kHeadphonesGuid = {
    0x2f4a0101, 0x0001, 0x4c56, {0x80, 0x00, 0x54, 0x61, 0x72, 0x6e, 0x00, 0x01}};
constexpr luxGuid kMicrophoneGuid = {
    0x2f4a0101, 0x0002, 0x4c56, {0x80, 0x00, 0x54, 0x61, 0x72, 0x6e, 0x00, 0x02}};

luxResult CopyGuidText(const luxGuid& guid, char* out) {
  if (out == nullptr) return InvalidArgument("No output");
  std::snprintf(out, LUX_AUDIO_MAX_DEVICE_STR_SIZE,
                "{0.0.0.00000000}.{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return luxSuccess;
}

luxResult CopyGuid(const luxGuid& guid, luxGuid* out) {
  if (out == nullptr) return InvalidArgument("No output");
  *out = guid;
  return luxSuccess;
}

luxResult NoController() {
  return RuntimeClient::Instance().Fail(luxError_DeviceUnavailable, "No controller is connected");
}

luxResult NotSupported(const char* what) {
  return RuntimeClient::Instance().Fail(
      luxError_Unsupported, std::string(what) + " is not supported by the simulated runtime");
}

}  // namespace

luxResult lux_GetInputState(luxSession session, luxControllerType controllerType,
                            luxInputState* outState) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outState == nullptr) return InvalidArgument("No output");
  *outState = luxInputState{};
  outState->TimeInSeconds = lux_GetTimeInSeconds();
  outState->ControllerType = controllerType;
  return luxSuccess;
}

unsigned int lux_GetConnectedControllerTypes(luxSession /*session*/) {
  return luxControllerType_None;
}

luxTouchHapticsDesc lux_GetTouchHapticsDesc(luxSession /*session*/,
                                            luxControllerType /*controllerType*/) {
  return luxTouchHapticsDesc{};
}

luxResult lux_SetControllerVibration(luxSession session, luxControllerType, float, float) {
  return ValidSession(session) ? NoController() : luxError_InvalidSession;
}

luxResult lux_SubmitControllerVibration(luxSession session, luxControllerType,
                                        const luxHapticsBuffer*) {
  return ValidSession(session) ? NoController() : luxError_InvalidSession;
}

luxResult lux_GetControllerVibrationState(luxSession session, luxControllerType,
                                          luxHapticsPlaybackState*) {
  return ValidSession(session) ? NoController() : luxError_InvalidSession;
}

luxResult lux_TestBoundary(luxSession session, luxTrackedDeviceType deviceBitmask,
                           luxBoundaryType boundaryType, luxBoundaryTestResult* outResult) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outResult == nullptr) return InvalidArgument("No output");
  if ((deviceBitmask & luxTrackedDevice_HMD) == 0) return NoController();
  // The simulated viewer stands in the middle of the play area.
  *outResult = TestPoint({0.0f, 0.0f, 0.0f}, boundaryType);
  return luxSuccess;
}

luxResult lux_TestBoundaryPoint(luxSession session, const luxVector3f* point,
                                luxBoundaryType boundaryType, luxBoundaryTestResult* outResult) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (point == nullptr || outResult == nullptr) {
    return InvalidArgument("Missing arguments");
  }
  *outResult = TestPoint(*point, boundaryType);
  return luxSuccess;
}

luxResult lux_SetBoundaryLookAndFeel(luxSession session,
                                     const luxBoundaryLookAndFeel* lookAndFeel) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return lookAndFeel != nullptr ? luxSuccess : InvalidArgument("No look and feel");
}

luxResult lux_ResetBoundaryLookAndFeel(luxSession session) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return luxSuccess;
}

luxResult lux_GetBoundaryGeometry(luxSession session, luxBoundaryType boundaryType,
                                  luxVector3f* outFloorPoints, int* outFloorPointsCount) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outFloorPointsCount == nullptr) {
    return InvalidArgument("No count to fill");
  }
  *outFloorPointsCount = 4;
  if (outFloorPoints != nullptr) {
    const float half = HalfSizeOf(boundaryType);
    const luxVector3f corners[] = {
        {-half, 0, -half}, {half, 0, -half}, {half, 0, half}, {-half, 0, half}};
    std::copy(std::begin(corners), std::end(corners), outFloorPoints);
  }
  return luxSuccess;
}

luxResult lux_GetBoundaryDimensions(luxSession session, luxBoundaryType boundaryType,
                                    luxVector3f* outDimensions) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outDimensions == nullptr) return InvalidArgument("No output");
  const float size = 2.0f * HalfSizeOf(boundaryType);
  *outDimensions = {size, 0.0f, size};
  return luxSuccess;
}

luxResult lux_GetBoundaryVisible(luxSession session, luxBool* outIsVisible) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outIsVisible == nullptr) return InvalidArgument("No output");
  *outIsVisible = boundaryVisible.load() ? luxTrue : luxFalse;
  return luxSuccess;
}

luxResult lux_RequestBoundaryVisible(luxSession session, luxBool visible) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  boundaryVisible.store(visible != luxFalse);
  return luxSuccess;
}

luxResult lux_GetPerfStats(luxSession session, luxPerfStats* outStats) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outStats == nullptr) return InvalidArgument("No output");
  *outStats = luxPerfStats{};
  outStats->AdaptiveGpuPerformanceScale = 1.0f;
  return luxSuccess;
}

luxResult lux_ResetPerfStats(luxSession session) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return luxSuccess;
}

luxResult lux_GetExternalCameras(luxSession session, luxExternalCamera* /*cameras*/,
                                 unsigned int* inoutCameraCount) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (inoutCameraCount == nullptr) {
    return InvalidArgument("No count given");
  }
  *inoutCameraCount = 0;
  return luxSuccess;
}

luxResult lux_SetExternalCameraProperties(luxSession session, const char* /*name*/,
                                          const luxCameraIntrinsics*, const luxCameraExtrinsics*) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return InvalidArgument("No such external camera");
}

luxResult lux_GetAudioDeviceOutWaveId(unsigned int* outDeviceId) {
  if (outDeviceId == nullptr) return InvalidArgument("No output");
  *outDeviceId = 0;
  return luxSuccess;
}

luxResult lux_GetAudioDeviceInWaveId(unsigned int* outDeviceId) {
  return lux_GetAudioDeviceOutWaveId(outDeviceId);
}

// The id of the device the runtime selects for the application's sound: the headset's audio
// device, or the empty string for the system's default device.
luxResult lux_GetAudioDeviceOutGuidStr(char outDeviceId[LUX_AUDIO_MAX_DEVICE_STR_SIZE]) {
  if (outDeviceId == nullptr) return InvalidArgument("No output");
  Json::Value answer;
  const luxResult result = RuntimeClient::Instance().Call(luxsim::op::kAudioOutputDevice,
                                                          Json::Value(Json::objectValue), &answer);
  if (LUX_FAILURE(result)) return result;
  std::snprintf(outDeviceId, LUX_AUDIO_MAX_DEVICE_STR_SIZE, "%s",
                answer["device"].asString().c_str());
  return luxSuccess;
}

luxResult lux_GetAudioDeviceOutGuid(luxGuid* outDeviceGuid) {
  return CopyGuid(kHeadphonesGuid, outDeviceGuid);
}

luxResult lux_GetAudioDeviceInGuidStr(char outDeviceId[LUX_AUDIO_MAX_DEVICE_STR_SIZE]) {
  return CopyGuidText(kMicrophoneGuid, outDeviceId);
}

luxResult lux_GetAudioDeviceInGuid(luxGuid* outDeviceGuid) {
  return CopyGuid(kMicrophoneGuid, outDeviceGuid);
}

luxResult lux_GetInstanceExtensionsVk(luxGraphicsLuid /*luid*/, char* extensionNames,
                                      uint32_t* inoutExtensionNamesSize) {
  return CopyExtensionNames("VK_KHR_surface VK_KHR_external_memory_capabilities", extensionNames,
                            inoutExtensionNamesSize);
}

luxResult lux_GetDeviceExtensionsVk(luxGraphicsLuid /*luid*/, char* extensionNames,
                                    uint32_t* inoutExtensionNamesSize) {
  return CopyExtensionNames("VK_KHR_swapchain VK_KHR_external_memory", extensionNames,
                            inoutExtensionNamesSize);
}

luxResult lux_InitDesktopWindow(luxSession session, luxDesktopWindowHandle* /*outWindow*/) {
  return ValidSession(session) ? NotSupported("Desktop windows") : luxError_InvalidSession;
}

luxResult lux_ShowDesktopWindow(luxSession session, const luxDesktopWindowDesc* /*desc*/) {
  return ValidSession(session) ? NotSupported("Desktop windows") : luxError_InvalidSession;
}

luxResult lux_HideDesktopWindow(luxSession session, luxDesktopWindowHandle /*window*/) {
  return ValidSession(session) ? NotSupported("Desktop windows") : luxError_InvalidSession;
}

luxResult lux_GetHybridInputFocus(luxSession session, luxControllerType /*controllerType*/,
                                  luxHybridInputFocusState* outState) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outState == nullptr) return InvalidArgument("No output");
  *outState = luxHybridInputFocusState{luxHybridInputFocus_None, luxFalse};
  return luxSuccess;
}

luxResult lux_ShowAvatarHands(luxSession session, luxBool /*showHands*/) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return luxSuccess;
}

luxResult lux_ShowKeyboard() { return NotSupported("The system keyboard"); }

luxResult lux_EnableHybridRaycast() { return NotSupported("Hybrid raycasting"); }

luxResult lux_EnumerateInstanceExtensionProperties(const char* layerName,
                                                   uint32_t /*propertyCapacity*/,
                                                   uint32_t* outPropertyCount,
                                                   luxExtensionProperties* /*properties*/) {
  if (outPropertyCount == nullptr) return InvalidArgument("No count");
  if (layerName != nullptr) return InvalidArgument("No such layer");
  *outPropertyCount = 0;
  return luxSuccess;
}

luxResult lux_GetInstanceProcAddr(luxSession /*session*/, const char* /*name*/,
                                  void (**outFunction)(void)) {
  if (outFunction != nullptr) *outFunction = nullptr;
  return InvalidArgument("No such extension function");
}
