#include "log/validator_log.h"
#include "validator/validator.h"

// The headset's HDMI cable, switched through the breaker box or by the operator.

namespace QasValidator {

bool Validator::DisconnectHDMI() { return SwitchHdmi(false); }

bool Validator::ConnectHDMI() { return SwitchHdmi(true); }

bool Validator::SwitchHdmi(bool connected) {
  if (!useBreakerBox) {
    // Noticing the change is left to the caller, which waits for the runtime's display events.
    LogInfo(connected ? "Please plug the HDMI cable of the headset back in the PC."
                      : "Please unplug the HDMI cable of the headset from the PC.");
    return true;
  }
  bool switched = false;
  {
    std::lock_guard lock(breakerLock);
    switched = breakerBox != nullptr && breakerBox->SwitchHdmi(connected);
  }
  if (!switched) {
    LogError(connected ? "INTERNAL ERROR: Could not connect HDMI using breaker box"
                       : "INTERNAL ERROR: Could not disconnect HDMI using breaker box");
  }
  return switched;
}

}  // namespace QasValidator
