#include "validator/validator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/empty_machine.h"
#include "support/read_file.h"
#include "support/telemetry_recorder.h"
#include "support/validator_surroundings.h"

namespace QasValidator {
namespace {

using testsupport::RecordTelemetry;
using testsupport::RunInChild;
using testsupport::UseEmptyMachine;
using testsupport::ValidatorSurroundings;

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
    ValidatorSurroundings surroundings;
    Validator validator;
    validator.StartTest("TestAudioOutput");
    const TestResult result = validator.ShutdownTest("TestAudioOutput", TestResult::Skipped);
    return result == TestResult::Skipped && validator.Results().size() == 1 ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.out.find("Starting TestAudioOutput\n"), std::string::npos);
  EXPECT_NE(run.out.find("Cleaning up...\nTest SKIPPED\n\n"), std::string::npos) << run.out;
}

TEST(Validator, StartAndShutdownTestSendTheirUserActions) {
  const auto run = RunInChild([] {
    RecordTelemetry(testsupport::kStandardTelemetryFields);
    ValidatorSurroundings surroundings;
    Validator validator;
    validator.StartTest("TestFrameRate");
    validator.ShutdownTest("TestFrameRate", TestResult::TransientError);
    validator.StartTest("TestAudioOutput");
    validator.ShutdownTest("TestAudioOutput", TestResult::Passed);
    return 0;
  });
  EXPECT_EQ(run.out,
            "Starting TestFrameRate\n"
            "[telemetry] user_action=Validator_action_StartTest_TestFrameRate\n"
            "Cleaning up...\n"
            "[telemetry] user_action=Validator_action_ShutdownTest_TestFrameRate; "
            "user_action_param=FAILED\n"
            "Test FAILED\n\n"
            "Starting TestAudioOutput\n"
            "[telemetry] user_action=Validator_action_StartTest_TestAudioOutput\n"
            "Cleaning up...\n"
            "[telemetry] user_action=Validator_action_ShutdownTest_TestAudioOutput; "
            "user_action_param=PASSED\n"
            "Test PASSED\n\n");
}

TEST(Validator, InitializeFailsWithTheRuntimeErrorWhenNoRuntimeIsFound) {
  const auto run = RunInChild([] {
    UseEmptyMachine();
    Validator validator;
    return validator.Initialize() == -3000 ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "ERROR: Unable to initialize LibLUX.\n\tLUX Error Code: -3001\n\tError String: "
            "Unable to load LibLUXRT DLL\n");
}

TEST(Validator, ShutdownWithoutARuntimeReportsTheEventOutputFailureAndGoesOn) {
  const std::string path = testing::TempDir() + "validator_shutdown_log.txt";
  std::filesystem::remove(path);
  const auto run = RunInChild([&] {
    OpenLogFile(path);
    Validator validator;
    const int32_t result = validator.Shutdown(true);
    LogInfo("after shutdown");
    return result == -3002 ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "ERROR: Failed to terminate realtime event output.\n\tLUX Error Code: -1004\n\t"
            "Error String: lux_Initialize never called\nafter shutdown\n");
  // The log file was closed by the shutdown: the last line is on the console only.
  const std::string content = testsupport::ReadFile(path);
  EXPECT_EQ(content.find("after shutdown"), std::string::npos);
  EXPECT_NE(content.find("ERROR: Failed to terminate realtime event output."), std::string::npos);
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
