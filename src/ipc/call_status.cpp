#include "ipc/call_status.h"

namespace IPC {

std::string_view CallStatusText(uint8_t status) {
  switch (status) {
    case kCallDisconnected:
      return "Disconnected";
    case kCallBadSignature:
      return "Version incompatibility: Callee function signature does not match caller";
    case kCallNotRegistered:
      return "Version incompatibility: Callee does not have that function registered";
    case kCallInvalidParameters:
      return "Invalid parameters to IPC";
    case kCallNotInitialized:
      return "IPC not initialized";
    case kCallInternalError:
      return "Internal IPC error";
    default:
      return "Unknown error";
  }
}

}  // namespace IPC
