#include "ipc/remote_function.h"

#include "ipc/call_status.h"
#include "ipc/function_name.h"

namespace IPC {

RemoteFunction::RemoteFunction(std::string_view name, bool selectorFlag)
    : name_(name), selectorFlag_(selectorFlag) {}

void RemoteFunction::Setup(uint8_t kind) {
  if (!IsValidFunctionName(name_)) return;
  if (kind == kCallKindProbe) {
    channel_ = 2;
  } else {
    channel_ = selectorFlag_ ? 0 : 1;
  }
}

}  // namespace IPC
