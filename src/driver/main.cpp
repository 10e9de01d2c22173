#include <string>
#include <vector>

#include "driver/main_flow.h"
#include "driver/validator_run_target.h"
#include "platform/console_control.h"
#include "validator/validator.h"

int main(int argc, char** argv) {
  platform::StartConsoleControl();
  const std::vector<std::string> arguments(argv, argv + argc);
  QasValidator::Validator validator;
  QasValidator::ValidatorRunTarget target(validator);
  return QasValidator::RunMainFlow(arguments, target);
}
