#pragma once

#include "support/machine_prefix.h"
#include "support/runtime_standin.h"
#include "support/shell_service.h"

namespace testsupport {

/// What a Validator of a unit test talks to besides the event stream: a private machine prefix
/// with a running shell service (OK to every request unless `responder` says otherwise) and a
/// stand-in for the runtime's settings. Make it before the Validator, whose shell client
/// connects when it is constructed, and in a child process (RunInChild) or before the test
/// starts any thread, since it points the machine prefix elsewhere.
struct ValidatorSurroundings {
  explicit ValidatorSurroundings(ShellService::Responder responder = ShellService::OkToEverything,
                                 bool settingsTaken = true);

  ScopedMachinePrefix prefix;
  ShellService shell;
  RuntimeSettingsStandIn settings;
};

}  // namespace testsupport
