#include "support/runtime_standin.h"

#include <mutex>
#include <sstream>

#include "lux/lux_capi.h"
#include "runtime/runtime_library.h"

namespace testsupport {

namespace {

using LuxLoader::BindRuntimeFunction;
using LuxLoader::RuntimeFunctionIndex;

std::mutex standInMutex;
std::vector<std::string> calls;  // guarded by standInMutex
bool answer = true;              // guarded by standInMutex

template <typename Value>
luxBool Record(const char* name, Value value) {
  std::ostringstream call;
  call << name << "=" << value;
  std::lock_guard lock(standInMutex);
  calls.push_back(call.str());
  return answer ? luxTrue : luxFalse;
}

luxBool SetBool(luxSession, const char* name, luxBool value) {
  return Record(name, value != luxFalse ? "true" : "false");
}
luxBool SetInt(luxSession, const char* name, int value) { return Record(name, value); }
luxBool SetFloat(luxSession, const char* name, float value) { return Record(name, value); }

}  // namespace

RuntimeSettingsStandIn::RuntimeSettingsStandIn(bool taken) {
  {
    std::lock_guard lock(standInMutex);
    calls.clear();
    answer = taken;
  }
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetBool"), reinterpret_cast<void*>(&SetBool));
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetInt"), reinterpret_cast<void*>(&SetInt));
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetFloat"), reinterpret_cast<void*>(&SetFloat));
}

RuntimeSettingsStandIn::~RuntimeSettingsStandIn() {
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetBool"), nullptr);
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetInt"), nullptr);
  BindRuntimeFunction(RuntimeFunctionIndex("lux_SetFloat"), nullptr);
}

std::vector<std::string> RuntimeSettingsStandIn::Calls() const {
  std::lock_guard lock(standInMutex);
  return calls;
}

}  // namespace testsupport
