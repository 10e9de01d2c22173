#include "runtime/initialization.h"

#include "runtime/client_identifier.h"
#include "runtime/runtime_library.h"

namespace LuxLoader {

luxInitParams AdjustedInitParams(const luxInitParams* params) {
  luxInitParams adjusted{};
  adjusted.Flags = luxInit_RequestVersion;
  adjusted.RequestedMinorVersion = LUX_MINOR_VERSION;
  if (params != nullptr) {
    adjusted = *params;
    if ((adjusted.Flags & luxInit_RequestVersion) == 0) {
      adjusted.Flags |= luxInit_RequestVersion;
      adjusted.RequestedMinorVersion = LUX_MINOR_VERSION;
    }
  }
  adjusted.Flags &= luxInit_WritableBits;
  return adjusted;
}

namespace {

void ReportClientInfo() {
  using ReportFunction = decltype(&::lux_ReportClientInfo);
  const auto report =
      reinterpret_cast<ReportFunction>(RuntimeLibraryExport("lux_ReportClientInfo"));
  if (report == nullptr) return;
  report(kClientBuildToolVersion, LUX_PRODUCT_VERSION, kClientIdentifier[kVersionMajorIndex],
         kClientIdentifier[kVersionMinorIndex], kClientIdentifier[kVersionPatchIndex],
         LUX_BUILD_NUMBER);
}

}  // namespace

}  // namespace LuxLoader

using namespace LuxLoader;

luxResult lux_Initialize(const luxInitParams* params) {
  if (!ClientIdentifierIsIntact(kClientIdentifier)) return luxError_Initialize;
  const luxInitParams adjusted = AdjustedInitParams(params);
  if (adjusted.RequestedMinorVersion < LUX_MIN_REQUESTABLE_MINOR_VERSION)
    return luxError_LibVersion;
  const int32_t loaded = LoadRuntimeLibrary(LUX_PRODUCT_VERSION, LUX_MAJOR_VERSION);
  if (loaded != 0) return loaded;

  const auto initialize = BoundFunction<&::lux_Initialize>(RuntimeFunctionIndex("lux_Initialize"));
  const luxResult result = initialize(&adjusted);
  if (result != 0) {
    const auto getLastErrorInfo =
        BoundFunction<&::lux_GetLastErrorInfo>(RuntimeFunctionIndex("lux_GetLastErrorInfo"));
    if (getLastErrorInfo != nullptr) getLastErrorInfo(&LoaderError());
    UnloadRuntimeLibrary();
  }
  if (IsRuntimeLibraryLoaded()) ReportClientInfo();
  return result;
}

void lux_Shutdown() {
  const auto shutdown = BoundFunction<&::lux_Shutdown>(RuntimeFunctionIndex("lux_Shutdown"));
  if (shutdown == nullptr) return;
  shutdown();
  UnloadRuntimeLibrary();
}
