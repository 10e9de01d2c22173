#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lux/lux_capi.h"

namespace LuxLoader {

/// The exports every runtime library must have, in the order they are bound.
inline constexpr std::array<std::string_view, 103> kRuntimeFunctionNames = {
    "lux_Initialize",
    "lux_Shutdown",
    "lux_GetVersionString",
    "lux_GetLastErrorInfo",
    "lux_GetHmdDesc",
    "lux_GetTrackerCount",
    "lux_GetTrackerDesc",
    "lux_Create",
    "lux_Destroy",
    "lux_GetSessionStatus",
    "lux_IsExtensionSupported",
    "lux_EnableExtension",
    "lux_SetTrackingOriginType",
    "lux_GetTrackingOriginType",
    "lux_RecenterTrackingOrigin",
    "lux_SpecifyTrackingOrigin",
    "lux_ClearShouldRecenterFlag",
    "lux_GetTrackingState",
    "lux_GetDevicePoses",
    "lux_GetTrackerPose",
    "lux_GetInputState",
    "lux_GetConnectedControllerTypes",
    "lux_GetFovTextureSize",
    "lux_GetFovStencil",
    "lux_WaitToBeginFrame",
    "lux_BeginFrame",
    "lux_EndFrame",
    "lux_SubmitFrame2",
    "lux_GetRenderDesc2",
    "lux_GetPredictedDisplayTime",
    "lux_GetTimeInSeconds",
    "lux_GetBool",
    "lux_SetBool",
    "lux_GetInt",
    "lux_SetInt",
    "lux_GetFloat",
    "lux_SetFloat",
    "lux_GetFloatArray",
    "lux_SetFloatArray",
    "lux_GetString",
    "lux_SetString",
    "lux_TraceMessage",
    "lux_IdentifyClient",
    "lux_CreateTextureSwapChainGL",
    "lux_CreateMirrorTextureGL",
    "lux_CreateMirrorTextureWithOptionsGL",
    "lux_GetTextureSwapChainBufferGL",
    "lux_GetMirrorTextureBufferGL",
    "lux_GetTextureSwapChainLength",
    "lux_GetTextureSwapChainCurrentIndex",
    "lux_GetTextureSwapChainDesc",
    "lux_CommitTextureSwapChain",
    "lux_DestroyTextureSwapChain",
    "lux_DestroyMirrorTexture",
    "lux_Lookup",
    "lux_GetTouchHapticsDesc",
    "lux_SetControllerVibration",
    "lux_SubmitControllerVibration",
    "lux_GetControllerVibrationState",
    "lux_TestBoundary",
    "lux_TestBoundaryPoint",
    "lux_SetBoundaryLookAndFeel",
    "lux_ResetBoundaryLookAndFeel",
    "lux_GetBoundaryGeometry",
    "lux_GetBoundaryDimensions",
    "lux_GetBoundaryVisible",
    "lux_RequestBoundaryVisible",
    "lux_GetPerfStats",
    "lux_ResetPerfStats",
    "lux_GetExternalCameras",
    "lux_SetExternalCameraProperties",
    "lux_CreateTextureSwapChainDX",
    "lux_CreateMirrorTextureDX",
    "lux_CreateMirrorTextureWithOptionsDX",
    "lux_GetTextureSwapChainBufferDX",
    "lux_GetMirrorTextureBufferDX",
    "lux_GetAudioDeviceOutWaveId",
    "lux_GetAudioDeviceInWaveId",
    "lux_GetAudioDeviceOutGuidStr",
    "lux_GetAudioDeviceOutGuid",
    "lux_GetAudioDeviceInGuidStr",
    "lux_GetAudioDeviceInGuid",
    "lux_GetInstanceExtensionsVk",
    "lux_GetDeviceExtensionsVk",
    "lux_GetSessionPhysicalDeviceVk",
    "lux_SetSynchronizationQueueVk",
    "lux_CreateTextureSwapChainVk",
    "lux_GetTextureSwapChainBufferVk",
    "lux_CreateMirrorTextureWithOptionsVk",
    "lux_GetMirrorTextureBufferVk",
    "lux_GetTrackingStateWithSensorData",
    "lux_InitDesktopWindow",
    "lux_ShowDesktopWindow",
    "lux_HideDesktopWindow",
    "lux_GetHybridInputFocus",
    "lux_ShowAvatarHands",
    "lux_ShowKeyboard",
    "lux_EnableHybridRaycast",
    "lux_EnumerateInstanceExtensionProperties",
    "lux_GetInstanceProcAddr",
    "lux_GetHmdColorDesc",
    "lux_SetClientColorDesc",
    "lux_QueryDistortion",
};

/// Position of `name` in the function table; only names of the table compile.
consteval size_t RuntimeFunctionIndex(std::string_view name) {
  for (size_t i = 0; i < kRuntimeFunctionNames.size(); ++i) {
    if (kRuntimeFunctionNames[i] == name) return i;
  }
  throw "not a function of the runtime table";
}

/// Whether no name appears twice in the table.
consteval bool RuntimeFunctionNamesAreDistinct() {
  for (size_t i = 0; i < kRuntimeFunctionNames.size(); ++i) {
    for (size_t j = i + 1; j < kRuntimeFunctionNames.size(); ++j) {
      if (kRuntimeFunctionNames[i] == kRuntimeFunctionNames[j]) return false;
    }
  }
  return true;
}

// The table follows the runtime's binding order.
static_assert(RuntimeFunctionNamesAreDistinct());
static_assert(RuntimeFunctionIndex("lux_Initialize") == 0 &&
              RuntimeFunctionIndex("lux_SubmitFrame2") == 27 &&
              RuntimeFunctionIndex("lux_Lookup") == 54 &&
              RuntimeFunctionIndex("lux_QueryDistortion") == 102);

/// The loader's error record: what lux_GetLastErrorInfo reports while no runtime is loaded.
using LoaderErrorRecord = luxErrorInfo;

/// Loads, signature-checks and binds the runtime library unless one is loaded already.
/// 0 on success; otherwise the failure code, also kept in the error record with its text.
int32_t LoadRuntimeLibrary(int productVersion, int majorVersion);

/// Clears the function table, frees the library and forgets its handle.
void UnloadRuntimeLibrary();

bool IsRuntimeLibraryLoaded();

/// The bound address of table entry `index`, or null while no library is loaded.
void* RuntimeFunctionAddress(size_t index);

/// Stores `address` as table entry `index`, as binding a library would: the function stands
/// in for that export (the unit tests play the runtime this way). Null unbinds the entry.
void BindRuntimeFunction(size_t index, void* address);

/// Address of the export `name` of the loaded library (not part of the table), or null.
void* RuntimeLibraryExport(const char* name);

/// The error record, and its replacement by `result` and `text` (cut to 511 characters).
LoaderErrorRecord& LoaderError();
void SetLoaderError(int32_t result, std::string_view text);

/// The bound table entry of the export that `Declared` names, as that export's function type.
template <auto Declared>
auto BoundFunction(size_t index) {
  return reinterpret_cast<decltype(Declared)>(RuntimeFunctionAddress(index));
}

}  // namespace LuxLoader
