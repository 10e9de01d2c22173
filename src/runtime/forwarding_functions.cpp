// The runtime exports the program calls, offered as functions of the same name. Each calls the
// bound export; while none is bound it answers as a runtime that is not there.
// lux_Initialize and lux_Shutdown, which also load and unload the library, live with the
// initialisation.

#include <cstring>

#include "lux/lux_capi.h"
#include "runtime/runtime_library.h"

using LuxLoader::BoundFunction;
using LuxLoader::RuntimeFunctionIndex;

void lux_GetLastErrorInfo(luxErrorInfo* errorInfo) {
  const auto bound =
      BoundFunction<&::lux_GetLastErrorInfo>(RuntimeFunctionIndex("lux_GetLastErrorInfo"));
  if (bound != nullptr) return bound(errorInfo);
  if (errorInfo != nullptr) std::memcpy(errorInfo, &LuxLoader::LoaderError(), sizeof *errorInfo);
}

luxResult lux_Create(luxSession* outSession, luxGraphicsLuid* outLuid) {
  const auto bound = BoundFunction<&::lux_Create>(RuntimeFunctionIndex("lux_Create"));
  return bound != nullptr ? bound(outSession, outLuid) : luxError_NotInitialized;
}

void lux_Destroy(luxSession session) {
  const auto bound = BoundFunction<&::lux_Destroy>(RuntimeFunctionIndex("lux_Destroy"));
  if (bound != nullptr) bound(session);
}

double lux_GetTimeInSeconds() {
  const auto bound =
      BoundFunction<&::lux_GetTimeInSeconds>(RuntimeFunctionIndex("lux_GetTimeInSeconds"));
  return bound != nullptr ? bound() : 0.0;
}

luxBool lux_SetBool(luxSession session, const char* propertyName, luxBool value) {
  const auto bound = BoundFunction<&::lux_SetBool>(RuntimeFunctionIndex("lux_SetBool"));
  return bound != nullptr ? bound(session, propertyName, value) : luxFalse;
}

luxBool lux_SetInt(luxSession session, const char* propertyName, int value) {
  const auto bound = BoundFunction<&::lux_SetInt>(RuntimeFunctionIndex("lux_SetInt"));
  return bound != nullptr ? bound(session, propertyName, value) : luxFalse;
}

luxBool lux_SetFloat(luxSession session, const char* propertyName, float value) {
  const auto bound = BoundFunction<&::lux_SetFloat>(RuntimeFunctionIndex("lux_SetFloat"));
  return bound != nullptr ? bound(session, propertyName, value) : luxFalse;
}

luxResult lux_Lookup(const char* name, void** outFunction) {
  const auto bound = BoundFunction<&::lux_Lookup>(RuntimeFunctionIndex("lux_Lookup"));
  return bound != nullptr ? bound(name, outFunction) : luxError_NotInitialized;
}
