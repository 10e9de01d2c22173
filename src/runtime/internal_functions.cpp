#include "runtime/internal_functions.h"

#include "lux/lux_capi.h"

// Only the internal functions this program calls are registered; the runtime's others are
// never looked up.

namespace LuxLoader {

namespace {

constinit const InternalFunctionRegistration* registrationHead = nullptr;

// The function an internal function pointer holds until it is bound: does nothing and
// answers that the runtime does not offer it.
template <typename Function>
struct Unbound;

template <typename... Arguments>
struct Unbound<luxResult(Arguments...)> {
  static luxResult Call(Arguments...) { return luxError_LibVersion; }
};

}  // namespace

InternalFunctionRegistration::InternalFunctionRegistration(void** variable, const char* name)
    : variable_(variable), name_(name), next_(registrationHead) {
  registrationHead = this;
}

const InternalFunctionRegistration* InternalFunctionRegistration::Head() {
  return registrationHead;
}

int32_t BindInternalFunctions() {
  for (const InternalFunctionRegistration* record = InternalFunctionRegistration::Head();
       record != nullptr; record = record->Next()) {
    const luxResult result = lux_Lookup(record->Name(), record->Variable());
    if (result < 0 && result != luxError_LibVersion) return result;
  }
  return 0;
}

}  // namespace LuxLoader

luxi_EnableRealtimeEventOutput_Fn* luxi_EnableRealtimeEventOutput =
    &LuxLoader::Unbound<luxi_EnableRealtimeEventOutput_Fn>::Call;
luxi_ReportGenericMetrics_Fn* luxi_ReportGenericMetrics =
    &LuxLoader::Unbound<luxi_ReportGenericMetrics_Fn>::Call;

namespace {

const LuxLoader::InternalFunctionRegistration enableRealtimeEventOutputRegistration(
    reinterpret_cast<void**>(&luxi_EnableRealtimeEventOutput), "luxi_EnableRealtimeEventOutput");
const LuxLoader::InternalFunctionRegistration reportGenericMetricsRegistration(
    reinterpret_cast<void**>(&luxi_ReportGenericMetrics), "luxi_ReportGenericMetrics");

}  // namespace
