#include "checks/listening_judgements.h"

#include "log/validator_log.h"

namespace QasValidator {

TestResult JudgeRuntimeErrors(int32_t errorCount) {
  if (errorCount > 0) return TestResult::Failed;
  LogInfo("No errors received.");
  return TestResult::Passed;
}

TestResult JudgePropertyAccess(const std::set<std::string>& properties) {
  if (properties.empty()) return TestResult::Passed;
  std::string line = "The application is accessing the following prohibited properties: ";
  for (const std::string& property : properties) line += property + " ";
  LogError(line);
  return TestResult::Failed;
}

}  // namespace QasValidator
