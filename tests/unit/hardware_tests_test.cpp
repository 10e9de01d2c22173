#include <gtest/gtest.h>

#include <string>

#include "checks/hardware_judgements.h"
#include "support/verdict.h"

// The verdict on the display-lost errors of TestResponseToDisplayLost: up to 10 are allowed.

namespace QasValidator {
namespace {

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
