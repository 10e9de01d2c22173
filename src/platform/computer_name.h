#pragma once

#include <string>

namespace platform {

/// The name of this computer on the network (GetComputerNameW); empty when it cannot be read.
std::string ComputerName();

}  // namespace platform
