#pragma once

#include <string>

#include "lux/lux_capi.h"

// The runtime client library, loaded at run time the way an application for the headset finds
// it: from the runtime's folder, or from a copy shipped beside the application (which the store
// forbids).

namespace sampleapp {

/// Loads the runtime client library and binds the functions below: from the application's own
/// folder when `bundled`, else from the folder that LIBLUX_DLL_DIR names (the runtime's folder
/// on a simulated machine), or through the system's library search when it is not set. False,
/// with `error` saying why, when the library cannot be loaded or lacks a function.
bool LoadRuntimeLibrary(bool bundled, std::string& error);

// The runtime's functions that the application calls, bound from the library that
// LoadRuntimeLibrary loaded. They carry the SDK's names and hide the SDK's declarations inside
// this namespace, so the application calls the loaded library by the SDK's names.
// clang-format off
#define SAMPLEAPP_RUNTIME_FUNCTIONS(X) \
  X(lux_ClearShouldRecenterFlag) \
  X(lux_CommitTextureSwapChain) \
  X(lux_Create) \
  X(lux_CreateTextureSwapChainGL) \
  X(lux_Destroy) \
  X(lux_DestroyTextureSwapChain) \
  X(lux_GetAudioDeviceOutGuidStr) \
  X(lux_GetLastErrorInfo) \
  X(lux_GetPredictedDisplayTime) \
  X(lux_GetRenderDesc2) \
  X(lux_GetSessionStatus) \
  X(lux_GetString) \
  X(lux_GetTrackingState) \
  X(lux_IdentifyClient) \
  X(lux_Initialize) \
  X(lux_Lookup) \
  X(lux_ReportClientInfo) \
  X(lux_Shutdown) \
  X(lux_SubmitFrame2)
// clang-format on

#define SAMPLEAPP_DECLARE_RUNTIME_FUNCTION(name) extern decltype(&::name) name;
SAMPLEAPP_RUNTIME_FUNCTIONS(SAMPLEAPP_DECLARE_RUNTIME_FUNCTION)
#undef SAMPLEAPP_DECLARE_RUNTIME_FUNCTION

}  // namespace sampleapp
