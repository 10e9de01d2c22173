#include <string>

#include "log/validator_log.h"
#include "lux/lux_capi.h"
#include "validator/validator.h"

// Runtime settings the validator changes for a test.

namespace QasValidator {

bool Validator::SetFakeIadEnabled(bool enable) {
  const bool taken =
      lux_SetBool(nullptr, "FakeIADEnabled", enable ? luxTrue : luxFalse) != luxFalse;
  if (!taken) {
    LogRuntimeError(std::string("INTERNAL ERROR: Failed to ") + (enable ? "enable" : "disable") +
                    " fake IAD.");
  }
  return taken;
}

bool Validator::SetFakeIad(float value) {
  const bool taken = lux_SetFloat(nullptr, "FakeIAD", value) != luxFalse;
  if (!taken) LogRuntimeError("INTERNAL ERROR: Failed to set fake IAD.");
  return taken;
}

}  // namespace QasValidator
