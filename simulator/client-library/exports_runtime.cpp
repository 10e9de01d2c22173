// Exports that concern the runtime as a whole: initialisation, errors, the clock, tracing and
// what the client tells about itself.

#include <chrono>

#include "lux/lux_capi.h"
#include "protocol/messages.h"
#include "runtime_client.h"

using luxsim::InvalidArgument;
using luxsim::RuntimeClient;

luxResult lux_Initialize(const luxInitParams* params) {
  luxInitParams adjusted{};
  adjusted.Flags = luxInit_RequestVersion;
  adjusted.RequestedMinorVersion = LUX_MINOR_VERSION;
  if (params != nullptr) adjusted = *params;
  if ((adjusted.Flags & luxInit_RequestVersion) != 0 &&
      adjusted.RequestedMinorVersion < LUX_MIN_REQUESTABLE_MINOR_VERSION) {
    return RuntimeClient::Instance().Fail(luxError_LibVersion,
                                          "The requested minor version is no longer supported");
  }
  return RuntimeClient::Instance().Initialize(adjusted);
}

void lux_Shutdown() { RuntimeClient::Instance().Shutdown(); }

const char* lux_GetVersionString() { return "1.43.0"; }

void lux_GetLastErrorInfo(luxErrorInfo* errorInfo) {
  if (errorInfo != nullptr) *errorInfo = RuntimeClient::Instance().LastError();
}

double lux_GetTimeInSeconds() {
  // The monotonic clock is the same in every process of the machine.
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int lux_TraceMessage(int level, const char* message) {
  if (message == nullptr) return -1;
  Json::Value fields;
  fields["level"] = level;
  fields["message"] = message;
  return LUX_SUCCESS(RuntimeClient::Instance().Call(luxsim::op::kTrace, fields)) ? 0 : -1;
}

luxResult lux_IdentifyClient(const char* identity) {
  if (identity == nullptr) {
    return InvalidArgument("No identity given");
  }
  Json::Value fields;
  fields["identity"] = identity;
  return RuntimeClient::Instance().Call(luxsim::op::kIdentifyClient, fields);
}

luxResult lux_ReportClientInfo(uint32_t compilerVersion, uint32_t productVersion,
                               uint32_t majorVersion, uint32_t minorVersion, uint32_t patchVersion,
                               uint32_t buildNumber) {
  Json::Value fields;
  fields["build_tool"] = compilerVersion;
  fields["product"] = productVersion;
  fields["major"] = majorVersion;
  fields["minor"] = minorVersion;
  fields["patch"] = patchVersion;
  fields["build"] = buildNumber;
  return RuntimeClient::Instance().Call(luxsim::op::kClientInfo, fields);
}
