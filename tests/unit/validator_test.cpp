#include "validator/validator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "driver/test_registry.h"
#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/read_file.h"

// The application's command line, the Validator's shutdown without a runtime, and the retry of a
// test.

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

TEST(Validator, ShutdownWithoutARuntimeReportsTheEventOutputFailureAndClosesTheLog) {
  const std::string path = testing::TempDir() + "validator_shutdown_log.txt";
  std::filesystem::remove(path);
  const testsupport::ChildOutcome run = testsupport::ExpectInChild([&] {
    OpenLogFile(path);
    Validator validator;
    validator.PrintSummary();  // nothing without results
    EXPECT_EQ(validator.Shutdown(true), -3002);
    LogInfo("after shutdown");
  });
  EXPECT_EQ(run.out,
            "ERROR: Failed to terminate realtime event output.\n\tLUX Error Code: -1004\n\t"
            "Error String: lux_Initialize never called\nafter shutdown\n");
  EXPECT_EQ(testsupport::ReadTextFile(path),
            "ERROR: Failed to terminate realtime event output.\n\tLUX Error Code: -1004\n\t"
            "Error String: lux_Initialize never called\n");
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
