// The runtime's internal functions and the simulator's own functions, reachable only through
// lux_Lookup.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "lux/lux_internal.h"
#include "lux/lux_simulator.h"
#include "protocol/messages.h"
#include "runtime_client.h"

using luxsim::InvalidArgument;
using luxsim::RuntimeClient;
using luxsim::SessionRequest;

namespace {

luxi_EnableRealtimeEventOutput_Fn EnableRealtimeEventOutput;
luxi_ReportGenericMetrics_Fn ReportGenericMetrics;
luxsim_RaiseRuntimeError_Fn RaiseRuntimeError;
luxsim_SetHdmiCable_Fn SetHdmiCable;
luxsim_SetRenderAdapter_Fn SetRenderAdapter;

luxResult EnableRealtimeEventOutput(luxBool enable) {
  Json::Value fields;
  fields["enable"] = enable != luxFalse;
  return RuntimeClient::Instance().Call(luxsim::op::kRealtimeEventOutput, fields);
}

luxResult ReportGenericMetrics(const char* category, const luxiMetricField* fields,
                               int32_t fieldCount, uint32_t flags) {
  if (category == nullptr || fieldCount < 0 || (fieldCount > 0 && fields == nullptr)) {
    return InvalidArgument("Malformed metrics event");
  }
  Json::Value request;
  request["category"] = category;
  request["flags"] = flags;
  Json::Value& values = request["fields"] = Json::Value(Json::objectValue);
  for (int32_t i = 0; i < fieldCount; ++i) {
    if (fields[i].Key == nullptr || fields[i].Value == nullptr) continue;
    values[fields[i].Key] = fields[i].Value;
  }
  return RuntimeClient::Instance().Call(luxsim::op::kReportMetrics, request);
}

luxResult RaiseRuntimeError(luxResult code, const char* text, luxBool notCounted) {
  Json::Value fields;
  fields["code"] = code;
  fields["text"] = text != nullptr ? text : "";
  fields["not_counted"] = notCounted != luxFalse;
  return RuntimeClient::Instance().Call(luxsim::op::kRaiseRuntimeError, fields);
}

luxResult SetHdmiCable(luxBool connected) {
  Json::Value fields;
  fields["connected"] = connected != luxFalse;
  return RuntimeClient::Instance().Call(luxsim::op::kSetHdmiCable, fields);
}

luxResult SetRenderAdapter(luxSession session, luxGraphicsLuid adapter) {
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  uint64_t luid = 0;
  std::memcpy(&luid, adapter.Reserved, sizeof luid);
  (*fields)["luid"] = Json::UInt64(luid);
  return RuntimeClient::Instance().Call(luxsim::op::kSetRenderAdapter, *fields);
}

struct InternalFunction {
  std::string_view name;
  void* address;
};

const InternalFunction kInternalFunctions[] = {
    {"luxi_EnableRealtimeEventOutput", reinterpret_cast<void*>(&EnableRealtimeEventOutput)},
    {"luxi_ReportGenericMetrics", reinterpret_cast<void*>(&ReportGenericMetrics)},
    {"luxsim_RaiseRuntimeError", reinterpret_cast<void*>(&RaiseRuntimeError)},
    {"luxsim_SetHdmiCable", reinterpret_cast<void*>(&SetHdmiCable)},
    {"luxsim_SetRenderAdapter", reinterpret_cast<void*>(&SetRenderAdapter)},
};

}  // namespace

luxResult lux_Lookup(const char* name, void** outFunction) {
  if (name == nullptr || outFunction == nullptr) {
    return InvalidArgument("lux_Lookup needs a name");
  }
  for (const InternalFunction& function : kInternalFunctions) {
    if (function.name == name) {
      *outFunction = function.address;
      return luxSuccess;
    }
  }
  return luxError_LibVersion;
}
