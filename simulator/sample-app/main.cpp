// corvia-sample-app: a VR application for the simulated Corvia Tarn runtime whose behaviour the
// command line chooses (see --help and docs/sample-app.md).

#include <iostream>
#include <string>
#include <vector>

#include "launcher.h"
#include "switches.h"
#include "vr_application.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const sampleapp::SwitchesOutcome outcome = sampleapp::ParseSwitches(arguments);
  if (!outcome.error.empty()) {
    std::cerr << "corvia-sample-app: " << outcome.error << "\n\n" << sampleapp::UsageText(argv[0]);
    return 2;
  }
  if (outcome.helpRequested) {
    std::cout << sampleapp::UsageText(argv[0]);
    return 0;
  }
  if (outcome.behaviour.launcher != sampleapp::LauncherMode::kNone) {
    return sampleapp::RunLauncher(outcome.behaviour.launcher, outcome.applicationArguments);
  }
  return sampleapp::RunVrApplication(outcome.behaviour);
}
