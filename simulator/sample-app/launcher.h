#pragma once

#include <string>
#include <vector>

#include "behaviour.h"

namespace sampleapp {

/// The path of this program's executable; empty when the system does not tell it.
std::string OwnExecutablePath();

/// Starts this program again with `arguments` as the VR application and, in `mode`, exits at
/// once (0) or waits for it and ends with its exit code (128 + the signal's number when a
/// signal ended it). 1 when it cannot be started.
int RunLauncher(LauncherMode mode, const std::vector<std::string>& arguments);

}  // namespace sampleapp
