#include <gtest/gtest.h>

#include "checks/hardware_judgements.h"
#include "support/validator_course.h"

namespace QasValidator {
namespace {

// Up to 10 display-lost errors while the display is lost are allowed.
TEST(HardwareJudgements, TenDisplayLostErrorsAreAllowedElevenAreTooMany) {
  for (const uint32_t errors : {10u, 11u}) {
    testsupport::ExpectJudgement(
        [errors] {
          return JudgeDisplayLostErrors(errors) ? TestResult::Passed : TestResult::Failed;
        },
        errors == 10u ? TestResult::Passed : TestResult::Failed,
        "Num display lost errors " + std::to_string(errors) + "\n",
        testsupport::JudgementOutput::kPlain, std::to_string(errors));
  }
}

}  // namespace
}  // namespace QasValidator
