#include <gtest/gtest.h>

#include "checks/hardware_judgements.h"
#include "support/verdict.h"

namespace QasValidator {
namespace {

// Up to 10 display-lost errors while the display is lost are allowed.
TEST(HardwareJudgements, TenDisplayLostErrorsAreAllowedElevenAreTooMany) {
  for (const uint32_t errors : {10u, 11u}) {
    const testsupport::Verdict verdict = testsupport::JudgeInChild([errors] {
      return JudgeDisplayLostErrors(errors) ? TestResult::Passed : TestResult::Failed;
    });
    EXPECT_EQ(verdict.result, errors == 10u ? TestResult::Passed : TestResult::Failed);
    EXPECT_EQ(verdict.printed, "Num display lost errors " + std::to_string(errors) + "\n");
  }
}

}  // namespace
}  // namespace QasValidator
