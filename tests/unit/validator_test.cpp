#include "validator/validator.h"

#include <gtest/gtest.h>

#include "driver/test_registry.h"
#include "support/child_process.h"

// The application's command line and the retry of a test.

namespace QasValidator {
namespace {

// A load time and a measuring time of 0 or less wait for the Enter key:
// ApplicationControlTest and LaunchCourse.
TEST(Validator, TheCommandLineQuotesEveryArgumentAsItIs) {
  Validator validator;
  validator.SetApplication("C:\\Games\\app.exe", {});
  EXPECT_EQ(validator.ApplicationArguments(), "");
  validator.SetApplication("app.exe", {"-x", "say \"hi\""});
  EXPECT_EQ(validator.ApplicationArguments(), "\"app.exe\" \"-x\" \"say \"hi\"\"");
}

// Each of the sixteen tests runs by its name in an end-to-end run.

// Two transient errors and a pass: LaunchTestsE2E.ATransientErrorOnTheFirstTwoLaunches...; a
// failure, never repeated: every failing end-to-end run.
TEST(RunTestWithRetry, StopsAfterThreeTransientErrors) {
  const auto run = testsupport::RunInChild([] {
    int calls = 0;
    RunTestWithRetry([&] { return ++calls > 3 ? TestResult::Passed : TestResult::TransientError; });
    return calls;
  });
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_EQ(run.out, "*** Retrying the test ***\n*** Retrying the test ***\n");
}

}  // namespace
}  // namespace QasValidator
