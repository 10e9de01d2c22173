#include "protocol/service_address.h"

#include "platform/machine.h"

namespace luxsim {

std::string RuntimeServiceSocketPath() {
  return platform::RuntimeRunFolder() + "LuxRuntimeService.sock";
}

}  // namespace luxsim
