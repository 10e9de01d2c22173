#include "checks/hardware_judgements.h"

#include <string>

#include "log/validator_log.h"

namespace QasValidator {

namespace {

constexpr uint32_t kDisplayLostErrorLimit = 10;

}  // namespace

bool JudgeDisplayLostErrors(uint32_t errors) {
  LogInfo("Num display lost errors ", std::to_string(errors));
  return errors <= kDisplayLostErrorLimit;
}

TestResult JudgeFramesAfterRecovery(uint32_t frames) {
  LogInfo("Number of frames submitted after recovering from display lost ", std::to_string(frames));
  if (frames > 0) return TestResult::Passed;
  LogError("The application did not submit frames after recovering from display lost");
  return TestResult::Failed;
}

TestResult JudgeFramesOnTheHeadsetsAdapter(uint32_t frames) {
  if (frames > 0) return TestResult::Passed;
  LogError("The application is not submitting frames");
  return TestResult::Failed;
}

}  // namespace QasValidator
