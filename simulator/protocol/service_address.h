#pragma once

#include <string>

namespace luxsim {

/// Path of the runtime service's Unix socket in the runtime's run folder of the machine.
std::string RuntimeServiceSocketPath();

}  // namespace luxsim
