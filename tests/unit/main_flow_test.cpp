#include "driver/main_flow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <tuple>

#include "driver/run_target.h"
#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/read_file.h"
#include "support/telemetry_recorder.h"

namespace QasValidator {
namespace {

using testsupport::ChildOutcome;
using testsupport::RecordTelemetry;
using testsupport::RunInChild;

// Prints every call on standard output, so a test reads the flow's steps and the validator's
// output in one ordered transcript.
class FakeTarget : public RunTarget {
 public:
  double clock = 100.0;
  // Results that each test returns on its successive attempts; Passed once they run out.
  std::map<std::string, std::vector<TestResult>> scripted;
  // Called with the name of each test as it runs.
  std::function<void(const std::string&)> whileRunning = [](const std::string&) {};

  int32_t Initialize() override { return Note("Initialize"); }
  int32_t Shutdown(bool shutdownRuntime) override { return Note("Shutdown", shutdownRuntime); }
  // The runtime's clock: 100 s at the first reading, 2.5 s later at each further one.
  double TimeInSeconds() override {
    const double now = clock;
    clock += 2.5;
    return now;
  }
  void SetUseBreakerBox(bool use) override { Note("SetUseBreakerBox", use); }
  void SetLoadTimeMs(int32_t ms) override { Note("SetLoadTimeMs", ms); }
  void SetApplication(const std::string& path, const std::vector<std::string>& args) override {
    std::string line = "SetApplication [" + path + "]";
    for (const std::string& arg : args) line += " [" + arg + "]";
    Note(line);
  }
  void SetMaxTimeToFrame(double seconds) override { Note("SetMaxTimeToFrame", seconds); }
  void SetMinAvgFps(double fps) override { Note("SetMinAvgFps", fps); }
  void SetPrintFps(bool print) override { Note("SetPrintFps", print); }
  void SetFpsTestDuration(int32_t seconds) override { Note("SetFpsTestDuration", seconds); }
  std::vector<TestEntry> GetDefaultTests() override {
    return Entries({"TestSdkVersion", "TestCorviaDLLIncludes", "TestLaunchIntoVR", "TestFrameRate",
                    "TestSubmitFramesWhenVisible", "TestSubmitFramesWhenNotVisible",
                    "TestSubmitFramesWhenInDash", "TestResponseToRecenterRequest",
                    "TestAppShouldQuit", "CheckForExtraneousFiles", "TestAudioOutput"});
  }
  std::vector<TestEntry> GetExtraTests() override {
    return Entries({"TestMismatchedAdapters", "TestResponseToDisplayLost", "TestPropertyAccess",
                    "RunErrorCapture", "TestResponseToIadChanges"});
  }
  void PrintSummary() override { Note("PrintSummary"); }

 private:
  static int32_t Note(const std::string& line) {
    std::cout << "[fake] " << line << std::endl;
    return 0;
  }
  static int32_t Note(const std::string& call, auto value) {
    return Note(call + " " + std::to_string(value));
  }

  std::vector<TestEntry> Entries(std::initializer_list<const char*> names) {
    std::vector<TestEntry> entries;
    for (const char* name : names) {
      entries.push_back({name, [this, test = std::string(name)] {
                           Note("run " + test);
                           whileRunning(test);
                           std::vector<TestResult>& results = scripted[test];
                           if (results.empty()) return TestResult::Passed;
                           const TestResult result = results.front();
                           results.erase(results.begin());
                           return result;
                         }});
    }
    return entries;
  }
};

ChildOutcome RunFlow(std::vector<std::string> arguments, FakeTarget target = {}) {
  arguments.insert(arguments.begin(), "CorviaSqmValidator");
  return RunInChild([&] { return RunMainFlow(arguments, target); });
}

// Runs the flow with its usage events printed among the validator's calls, the fields that
// every event carries left out.
ChildOutcome RunFlowRecordingTelemetry(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "CorviaSqmValidator");
  return RunInChild([&] {
    RecordTelemetry(testsupport::kStandardTelemetryFields);
    FakeTarget target;
    return RunMainFlow(arguments, target);
  });
}

// The lines of `text` that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

TEST(MainFlow, SettingsReachTheValidatorConvertedAndTheRuntimeAsGiven) {
  // The defaults but the frame rate's, as their usage events report them:
  // ValidatorE2E.ARunReportsEveryStepAndItsDurationToTheRuntime, which asks for 60 frames.
  EXPECT_NE(RunFlow({"--path", "app.exe"}).out.find("[fake] SetMinAvgFps 85.000000\n"),
            std::string::npos);
  // The validator's setters turn 0 and negative values into the unbounded value.
  const std::string path = testing::TempDir() + "main_flow_telemetry_log.txt";
  const ChildOutcome run =
      RunFlowRecordingTelemetry({"--path", "app.exe", "-v", "--log_file", path, "--load_time_ms",
                                 "-5", "--max_time_to_frame", "2500", "--min_avg_fps", "45.5",
                                 "--print_fps", "--fps_test_duration", "0", "--test", "all"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(LinesStartingWith(run.out, "[telemetry]"),
            (std::vector<std::string>{
                "[telemetry] application_status=launch",
                "[telemetry] user_action=Main_action_--verbose",
                "[telemetry] user_action=Main_action_--log",
                "[telemetry] user_action=Main_action_--load_time_ms; user_action_param=-5",
                "[telemetry] user_action=Main_action_--max_time_to_frame; user_action_param=2500",
                "[telemetry] user_action=Main_action_--min_avg_fps; user_action_param=45.500000",
                "[telemetry] user_action=Main_action_--print_fps_arg; user_action_param=1",
                "[telemetry] user_action=Main_action_--fps_test_duration_arg; user_action_param=0",
                "[telemetry] user_action=Main_action_test_count; user_action_param=16",
                "[telemetry] application_status=close; run_duration=2500.000000",
            }));
  for (const char* call : {"[fake] SetLoadTimeMs -5\n", "[fake] SetMaxTimeToFrame 2.500000\n",
                           "[fake] SetMinAvgFps 45.500000\n", "[fake] SetPrintFps 1\n",
                           "[fake] SetFpsTestDuration 0\n"}) {
    EXPECT_NE(run.out.find(call), std::string::npos) << call;
  }
  std::remove(path.c_str());
}

TEST(MainFlow, ApplicationArgumentsFollowTheFirstDoubleDashAndUseBreakerGoesWhereverItStands) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--path", "app.exe", "--", "-a", "b c"}, "[fake] SetApplication [app.exe] [-a] [b c]\n"},
      {{"--path", "app.exe", "--"}, "[fake] SetApplication [app.exe]\n"},
      // Options after "--" belong to the application, not to the validator.
      {{"--path", "app.exe", "--", "--verbose", "--", "x"},
       "[fake] SetApplication [app.exe] [--verbose] [--] [x]\n"},
      {{"--use_breaker", "--path", "app.exe", "--", "x", "--use_breaker", "y"},
       "[fake] SetApplication [app.exe] [x] [y]\n"},
  };
  for (const auto& [arguments, call] : cases) {
    const ChildOutcome run = RunFlow(arguments);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.out.find(call), std::string::npos) << run.out;
  }
  EXPECT_TRUE(
      RunFlow(cases[3].first).out.starts_with("[fake] SetUseBreakerBox 1\n[fake] Initialize\n"));
}

TEST(MainFlow, ParseErrorsAndAnUnopenableLogFileEndWithStatusOneBeforeAnyTest) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {},
           {"--path", "app.exe", "--list_tests"},
           {"--path", "app.exe", "--bogus"},
           {"--path"},
           {"--path", "app.exe", "--load_time_ms", "soon"},
           {"--USE_BREAKER", "--path", "app.exe"},  // letter case counts
       }) {
    const ChildOutcome run = RunFlow(arguments);
    EXPECT_EQ(run.exitStatus, 1) << testing::PrintToString(arguments);
    EXPECT_NE(run.err.find("PARSE ERROR"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("[fake] run"), std::string::npos);
    EXPECT_EQ(run.out.find("SetUseBreakerBox"), std::string::npos);
  }
  for (const auto& [option, error] :
       {std::pair{"--log_file", "Failed to create or append to log file"},
        std::pair{"--junit_report", "Failed to write the JUnit report"}}) {
    const ChildOutcome run = RunFlow({"--path", "app.exe", option, "/nonexistent/dir/r.txt"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, std::string(error) +
                           " /nonexistent/dir/r.txt Error: No such file or directory (2)\n");
    EXPECT_EQ(run.out.find("[fake] run"), std::string::npos);
  }
}

TEST(MainFlow, TheTestsRunAreTheDefaultOnesAllOfThemOrTheNamedOnesInOrder) {
  ChildOutcome run = RunFlowRecordingTelemetry({"--path", "app.exe"});
  EXPECT_EQ(LinesStartingWith(run.out, "[fake] run ").size(), 11u);
  EXPECT_NE(run.out.find("[telemetry] user_action=Main_action_test_count; user_action_param=11\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("[fake] run TestAudioOutput\n[fake] PrintSummary\n"), std::string::npos)
      << run.out;
  run = RunFlow(
      {"--path", "app.exe", "--test", "TestFrameRate", "--test", "all", "--test", "NoSuchTest"});
  EXPECT_EQ(run.exitStatus, 0);
  const std::vector<std::string> runs = LinesStartingWith(run.out, "[fake] run ");
  ASSERT_EQ(runs.size(), 16u);
  EXPECT_EQ(runs.front(), "[fake] run TestSdkVersion");
  EXPECT_EQ(runs.back(), "[fake] run TestResponseToIadChanges");
  FakeTarget failing;
  failing.scripted["TestFrameRate"] = {TestResult::Failed};
  run = RunFlow({"--path", "app.exe", "--test", "TestFrameRate", "--test", "RunErrorCapture",
                 "--test", "TestFrameRate"},
                failing);
  EXPECT_EQ(run.exitStatus, 0);  // whatever the tests' results
  EXPECT_EQ(LinesStartingWith(run.out, "[fake] run "),
            (std::vector<std::string>{"[fake] run TestFrameRate", "[fake] run RunErrorCapture",
                                      "[fake] run TestFrameRate"}));
}

// A failed test's status two: RunReportE2E.
TEST(MainFlow, FailExitCodeEndsWithTwoOnlyWhenATestEndedFailed) {
  const TestResult kTransient = TestResult::TransientError;
  for (const auto& [option, results, status] :
       std::vector<std::tuple<bool, std::vector<TestResult>, int>>{
           {true, {TestResult::Skipped}, 0},
           {true, {kTransient, TestResult::Passed}, 0},
           {true, {kTransient, kTransient, kTransient}, 2}}) {
    FakeTarget target;
    target.scripted["TestFrameRate"] = results;
    std::vector<std::string> arguments = {"--path",         "app.exe", "--test",
                                          "TestSdkVersion", "--test",  "TestFrameRate"};
    if (option) arguments.push_back("--fail_exit_code");
    EXPECT_EQ(RunFlow(arguments, target).exitStatus, status) << testing::PrintToString(results);
  }
}

TEST(MainFlow, AnUnknownTestNameEndsTheRunWithStatusOneAfterTheEarlierTests) {
  for (const char* unknown : {"NoSuchTest", "ALL", "testframerate"}) {
    const ChildOutcome run =
        RunFlowRecordingTelemetry({"--path", "app.exe", "--test", "TestFrameRate", "--test",
                                   unknown, "--test", "TestSdkVersion"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(LinesStartingWith(run.out, "[fake] run "),
              std::vector<std::string>{"[fake] run TestFrameRate"});
    EXPECT_EQ(run.err, std::string("Failed to find test ") + unknown + "\n");
    // The count names every test asked for; no summary, no close event, no final shutdown.
    EXPECT_NE(run.out.find("[telemetry] user_action=Main_action_test_count; user_action_param=3\n"),
              std::string::npos);
    EXPECT_EQ(run.out.find("PrintSummary"), std::string::npos);
    EXPECT_EQ(run.out.find("application_status=close"), std::string::npos);
    EXPECT_EQ(run.out.find("Shutdown"), std::string::npos);
  }
}

// A named log file: LaunchTestsE2E.AWellBehavedApplicationOfALauncher...
TEST(MainFlow, LogAloneWritesTheLogFileOfItsDefaultName) {
  const std::string directory = testing::TempDir() + "main_flow_cwd";
  std::filesystem::create_directories(directory);
  const std::string file = directory + "/CorviaSqmValidator_Log.txt";
  std::filesystem::remove(file);
  const ChildOutcome run = RunInChild([&] {
    std::filesystem::current_path(directory);
    FakeTarget target;
    const int status = RunMainFlow(
        {"CorviaSqmValidator", "--path", "app.exe", "--test", "TestFrameRate", "-l"}, target);
    LogError("after the run");
    return status;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(testsupport::ReadTextFile(file), "ERROR: after the run\n");
  std::filesystem::remove_all(directory);
}

TEST(ConsoleControlHandler, ShutsDownOnceOnCloseEventsAndSwallowsBreak) {
  const ChildOutcome run = RunInChild([] {
    RecordTelemetry(testsupport::kStandardTelemetryFields);
    FakeTarget target;
    target.whileRunning = [](const std::string&) {
      for (const uint32_t event : {1u, 2u, 0u}) {
        const bool handled = ConsoleControlHandler(event);
        std::cout << "event " << event << " handled " << handled << std::endl;
      }
    };
    const int status =
        RunMainFlow({"CorviaSqmValidator", "--path", "app.exe", "--test", "TestFrameRate"}, target);
    FinalShutdown();  // after the run's own final shutdown: nothing again
    return status;
  });
  EXPECT_NE(run.out.find("event 1 handled 1\n[telemetry] application_status=close; "
                         "run_duration=2500.000000\n[fake] Shutdown 1\nevent 2 handled 0\n"
                         "event 0 handled 0\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(LinesStartingWith(run.out, "[fake] Shutdown").size(), 1u);
  EXPECT_EQ(LinesStartingWith(run.out, "[telemetry] application_status=close").size(), 1u);
}

// Every way out of the flow unpublishes its target alike; a parse error is one of them.
TEST(ConsoleControlHandler, AfterTheFlowEndedAnEventTouchesNoTarget) {
  const ChildOutcome run = RunInChild([] {
    RecordTelemetry(testsupport::kStandardTelemetryFields);
    {
      FakeTarget target;
      RunMainFlow({"CorviaSqmValidator", "--no_such_option"}, target);
    }
    std::cout << "event 0 handled " << ConsoleControlHandler(0) << std::endl;
    return 0;
  });
  EXPECT_EQ(LinesStartingWith(run.out, "event 0 handled 0").size(), 1u) << run.out;
  EXPECT_TRUE(LinesStartingWith(run.out, "[fake] Shutdown").empty());
  EXPECT_TRUE(LinesStartingWith(run.out, "[telemetry] application_status=close").empty());
}

}  // namespace
}  // namespace QasValidator
