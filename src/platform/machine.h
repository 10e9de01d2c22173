#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Environment variable naming the machine prefix.
inline constexpr char MachinePrefixVariable[] = "CORVIA_MACHINE_PREFIX";

/// Path of `relative` under the machine prefix: the folder that stands for the machine's
/// registry values, device names and the runtime's well-known names ("/" unless
/// CORVIA_MACHINE_PREFIX names another folder; tests and the simulator use a fresh one).
std::string MachinePath(std::string_view relative);

/// Folder of the runtime's well-known names (sockets of the services, the headset signal).
std::string RuntimeRunFolder();

}  // namespace platform
