// The validator binary against the runtime simulator: exact console output, exit statuses and
// the usage telemetry that reaches the runtime service.

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/writer.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "command_runner.h"
#include "support/console_lines.h"

namespace e2e {
namespace {

const char kInitFailure[] =
    "ERROR: Failed to initialize SQM Validator. version: 1.43.0.0 Please check if the version "
    "matches with your LUX Service runtime.\n";

const char kAllTests[] =
    "TestSdkVersion\nTestCorviaDLLIncludes\nTestLaunchIntoVR\nTestFrameRate\n"
    "TestSubmitFramesWhenVisible\nTestSubmitFramesWhenNotVisible\nTestSubmitFramesWhenInDash\n"
    "TestResponseToRecenterRequest\nTestAppShouldQuit\nCheckForExtraneousFiles\n"
    "TestAudioOutput\nTestMismatchedAdapters\nTestResponseToDisplayLost\nTestPropertyAccess\n"
    "RunErrorCapture\nTestResponseToIadChanges\n";

// Runs the validator on a fresh simulated machine, with `environment` ("NAME=value") added to
// its own, and returns the usage events the runtime service recorded, one JSON object each.
CommandOutcome RunRecorded(const std::vector<std::string>& arguments,
                           std::vector<Json::Value>* telemetry = nullptr,
                           std::vector<std::string> options = {},
                           const std::string& environment = "") {
  const std::string telemetryFile =
      testing::TempDir() + "validator_e2e_telemetry_" + std::to_string(getpid()) + ".jsonl";
  std::remove(telemetryFile.c_str());
  options.insert(options.end(), {"--telemetry-out", telemetryFile});
  std::vector<std::string> command = {"env", environment, CORVIA_VALIDATOR};
  if (environment.empty()) command.erase(command.begin(), command.begin() + 2);
  command.insert(command.end(), arguments.begin(), arguments.end());
  const CommandOutcome outcome = RunWithSimulator(options, command);
  if (telemetry != nullptr) {
    std::istringstream lines(ReadFile(telemetryFile));
    for (std::string line; std::getline(lines, line);) {
      Json::Value record;
      std::istringstream text(line);
      EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), text, &record, nullptr)) << line;
      telemetry->push_back(record);
    }
  }
  return outcome;
}

bool IsGuid(const std::string& text) {
  static const std::regex form(
      "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  return std::regex_match(text, form);
}

// The lines of the log channels in `out`, without their time stamps, and the rest.
struct LogLinesAndRest {
  std::vector<std::string> logLines;
  std::string rest;
};
LogLinesAndRest SplitLogLines(const std::string& out) {
  static const std::regex stamp("\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (.*)");
  LogLinesAndRest split;
  std::istringstream lines(out);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, match, stamp)) {
      split.logLines.push_back(match[1]);
    } else {
      split.rest += line + "\n";
    }
  }
  return split;
}

const char kConnected[] = "{INFO}    [LibLUXRT] Connected to the Corvia runtime service";

// With "LuxOutputToStdout" the runtime library's lines reach the redirected standard output
// through the validator's output worker.
TEST(ValidatorE2E, ListTestsPrintsTheSixteenNamesAndReportsItsAction) {
  std::vector<Json::Value> telemetry;
  const CommandOutcome run = RunRecorded({"--list_tests"}, &telemetry, {}, "LuxOutputToStdout=1");
  EXPECT_EQ(run.exitStatus, 0);
  const LogLinesAndRest split = SplitLogLines(run.out);
  EXPECT_EQ(split.logLines, std::vector<std::string>{kConnected});
  EXPECT_EQ(split.rest, kAllTests);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(telemetry.size(), 2u);
  EXPECT_EQ(telemetry[1]["fields"]["user_action"].asString(), "Main_action_--list_tests");
  EXPECT_FALSE(telemetry[1]["fields"].isMember("user_action_param"));
}

TEST(ValidatorE2E, HelpAndVersionEndWithStatusZero) {
  CommandOutcome run = RunRecorded({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.out.find("--list_tests"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Prints list of all available tests"), std::string::npos);
  run = RunRecorded({"--version"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.out.find("version: 1.43.0.0"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}

// With an unusable runtime library the loader's error is printed like the service's (LoaderE2E
// has the loader's codes).
TEST(ValidatorE2E, WithoutTheServiceTheHeadsetOrTheStreamInitializationFails) {
  const std::pair<const char*, std::string> cases[] = {
      {"--no-service",
       "ERROR: Unable to initialize LibLUX.\n\tLUX Error Code: -3003\n\tError String: Unable to "
       "connect to the Corvia runtime service: No such file or directory\n"},
      {"--no-headset",
       "ERROR: Corvia HMD is not connected!\nValidation tests must be run with HMD connected to "
       "the test machine!\n"},
      {"--no-event-stream", "ERROR: Failed to connect to remote listener\n"},
  };
  for (const auto& [simulatorOption, output] : cases) {
    std::vector<Json::Value> telemetry;
    const CommandOutcome run = RunRecorded({"--list_tests"}, &telemetry, {simulatorOption});
    EXPECT_EQ(run.exitStatus, 1) << output;
    EXPECT_EQ(run.out, output + kInitFailure);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(telemetry.empty());
  }
}

// The application is started by a launcher that exits at once: its reports still count as the
// application's.
TEST(ValidatorE2E, ARunReportsEveryStepAndItsDurationToTheRuntime) {
  std::vector<Json::Value> telemetry;
  const CommandOutcome run =
      RunRecorded({"--path", CORVIA_SAMPLE_APP, "--test", "TestSdkVersion", "--min_avg_fps", "60",
                   "--", "--launcher", "--engine-name", "MyEngine", "--engine-version", "0.9"},
                  &telemetry, {"--service-option", "--no-hsw"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(testsupport::WithoutProcessIds(run.out),
            "Starting TestSdkVersion\n" + testsupport::SdkVersionLines("1.43") +
                testsupport::EngineIdentificationLines("MyEngine", "0.9", "", "") +
                "Cleaning up...\n"
                "Test PASSED\n\n"
                "Summary:\n"
                "TestSdkVersion: Passed\n"
                "Generated by CorviaSQMValidator version 1.43.0.0\n");

  // Every event carries the validator's name and version, its parent, the run's session and,
  // from the runtime, the client's build that the loader reported when it initialised it.
  std::vector<std::string> steps;
  for (const Json::Value& record : telemetry) {
    const Json::Value& fields = record["fields"];
    EXPECT_EQ(record["client_sdk"].asString(), "1.43.0");
    EXPECT_EQ(fields["application_name"].asString(), "Corvia QAS Validator CLI");
    EXPECT_EQ(fields["application_version"].asString(), "1.43.0.0");
    EXPECT_FALSE(fields["parent_application"].asString().empty());
    EXPECT_FALSE(fields.isMember("parent_application_version"));
    EXPECT_TRUE(IsGuid(fields["application_session"].asString())) << fields;
    EXPECT_EQ(fields["application_session"], telemetry[0]["fields"]["application_session"]);
    std::string step = fields.isMember("user_action") ? fields["user_action"].asString()
                                                      : fields["application_status"].asString();
    if (fields.isMember("user_action_param")) step += " " + fields["user_action_param"].asString();
    steps.push_back(step);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "launch",
                       "Main_action_--load_time_ms 5000",
                       "Main_action_--max_time_to_frame 4000",
                       "Main_action_--min_avg_fps 60.000000",
                       "Main_action_--print_fps_arg 0",
                       "Main_action_--fps_test_duration_arg 20",
                       "Main_action_test_count 1",
                       "Validator_action_StartTest_TestSdkVersion",
                       "Validator_action_TestSdkVersion_EngineName MyEngine",
                       "Validator_action_TestSdkVersion_EngineVersion 0.9",
                       "Validator_action_ShutdownTest_TestSdkVersion PASSED",
                       "close",
                   }));
  ASSERT_FALSE(telemetry.empty());
  const std::string duration = telemetry.back()["fields"]["run_duration"].asString();
  EXPECT_TRUE(std::regex_match(duration, std::regex("[0-9]+\\.[0-9]{6}"))) << duration;
  EXPECT_GT(std::stod(duration), 0.0);
}

}  // namespace
}  // namespace e2e
