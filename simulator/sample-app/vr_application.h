#pragma once

#include "behaviour.h"

namespace sampleapp {

/// Runs the VR application as `behaviour` says: connects to the runtime, creates a session and
/// renders until the runtime asks it to quit, the close request (SIGTERM) arrives or its own
/// end comes. Returns the exit status (or ends the process by a signal).
int RunVrApplication(const Behaviour& behaviour);

}  // namespace sampleapp
