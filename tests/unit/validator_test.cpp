#include "validator/validator.h"

#include <gtest/gtest.h>

#include "support/child_process.h"

namespace QasValidator {
namespace {

using testsupport::RunInChild;

TEST(Validator, StartsWithTheLoadTimeThatWaitsForEnter) {
  Validator validator;
  EXPECT_EQ(validator.LoadTimeMs(), 2147483647);
  EXPECT_FALSE(validator.UseBreakerBox());
  EXPECT_TRUE(validator.Results().empty());
}

TEST(Validator, SettersStoreUnboundedForZeroOrLess) {
  Validator validator;
  validator.SetLoadTimeMs(0);
  EXPECT_EQ(validator.LoadTimeMs(), 2147483647);
  validator.SetLoadTimeMs(-5);
  EXPECT_EQ(validator.LoadTimeMs(), 2147483647);
  validator.SetLoadTimeMs(1);
  EXPECT_EQ(validator.LoadTimeMs(), 1);

  validator.SetFpsTestDuration(0);
  EXPECT_EQ(validator.FpsTestDurationSeconds(), 2147483647);
  validator.SetFpsTestDuration(-1);
  EXPECT_EQ(validator.FpsTestDurationSeconds(), 2147483647);
  validator.SetFpsTestDuration(1);
  EXPECT_EQ(validator.FpsTestDurationSeconds(), 1);

  validator.SetMaxTimeToFrame(2.5);
  EXPECT_DOUBLE_EQ(validator.MaxTimeToFrameSeconds(), 2.5);
}

TEST(Validator, ApplicationCommandLineQuotesPathAndArguments) {
  Validator validator;
  validator.SetApplication("C:\\Games\\app.exe", {});
  EXPECT_EQ(validator.ApplicationPath(), "C:\\Games\\app.exe");
  EXPECT_EQ(validator.ApplicationArguments(), "");

  validator.SetApplication("app.exe", {"-x", "y z"});
  EXPECT_EQ(validator.ApplicationArguments(), "\"app.exe\" \"-x\" \"y z\"");
  EXPECT_EQ(validator.ApplicationArgumentList(), (std::vector<std::string>{"-x", "y z"}));

  // Nothing inside is escaped.
  validator.SetApplication("app.exe", {"say \"hi\""});
  EXPECT_EQ(validator.ApplicationArguments(), "\"app.exe\" \"say \"hi\"\"");
}

TEST(Validator, ShutdownTestLogsTheUpperCaseResultAndRecordsIt) {
  const auto run = RunInChild([] {
    Validator validator;
    validator.StartTest("TestAudioOutput");
    const TestResult result = validator.ShutdownTest("TestAudioOutput", TestResult::Skipped);
    return result == TestResult::Skipped && validator.Results().size() == 1 ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.out.find("Starting TestAudioOutput\n"), std::string::npos);
  EXPECT_NE(run.out.find("Cleaning up...\nTest SKIPPED\n\n"), std::string::npos) << run.out;
}

TEST(Validator, SummaryPrintsNothingWithoutResults) {
  const auto run = RunInChild([] {
    Validator validator;
    validator.PrintSummary();
    return 0;
  });
  EXPECT_EQ(run.out, "");
}

TEST(TestResultText, DisplayTexts) {
  EXPECT_EQ(TestResultText(TestResult::Passed, false), "Passed");
  EXPECT_EQ(TestResultText(TestResult::Failed, true), "FAILED");
  EXPECT_EQ(TestResultText(TestResult::Skipped, true), "SKIPPED");
  EXPECT_EQ(TestResultText(TestResult::TransientError, false), "Failed");
  EXPECT_EQ(TestResultText(static_cast<TestResult>(7), false), "");
}

}  // namespace
}  // namespace QasValidator
