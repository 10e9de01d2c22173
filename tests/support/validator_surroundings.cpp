#include "support/validator_surroundings.h"

namespace testsupport {

ValidatorSurroundings::ValidatorSurroundings(ShellService::Responder responder, bool settingsTaken)
    : shell(std::move(responder)), settings(settingsTaken) {
  shell.Start();
}

}  // namespace testsupport
