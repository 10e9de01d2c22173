#include <gtest/gtest.h>

#include <regex>

#include "checks/launch_judgements.h"
#include "support/child_process.h"
#include "support/validator_course.h"
#include "validator/validator.h"

// TestLaunchIntoVR and TestFrameRate: their verdicts (messages, guideline pages, usage events)
// and their course against an in-test shell, with a real application process and waits on a
// fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::GuidelineLine;
using testsupport::kFirstFrameTooLateLines, testsupport::kFramewatchHintLine,
    testsupport::kFrameRateTooLowLines;

const std::string kPage9 = GuidelineLine("sqm-pc-performance-1/");
const std::string kNoHeadTrackedLayer =
    "[telemetry] user_action=Validator_action_TestLaunchIntoVR_MissingHeadTrackedLayer\n"
    "ERROR: The application did not submit a head-tracked layer in the first lux_SubmitFrame "
    "call\n" +
    kPage9;

std::string FirstFrame(const std::string& seconds) {
  return "Time taken to submit the first frame: " + seconds +
         " seconds\n[telemetry] "
         "user_action=Validator_action_TestLaunchIntoVR_timeToSubmitFrameSec; "
         "user_action_param=" +
         seconds + "\n";
}

std::string Average(const std::string& fps) {
  return "Average FPS: " + fps +
         "\n[telemetry] user_action=Validator_action_TestFrameRate_AvgFPS; user_action_param=" +
         fps + "\n";
}

TEST(LaunchJudgements, TheFirstFrameAndTheAverageFrameRateAreJudgedWithTheirMessages) {
  const testsupport::JudgementCase cases[] = {
      {[] { return JudgeFirstFrame(4.2, true, 4.0); }, TestResult::Failed,
       FirstFrame("4.200000") + kFirstFrameTooLateLines},
      {[] { return JudgeFirstFrame(4.0, true, 4000 / 1000.0); }, TestResult::Passed,
       FirstFrame("4.000000")},
      {[] { return JudgeFirstFrame(0.25, false, 4.0); }, TestResult::Failed,
       FirstFrame("0.250000") + kNoHeadTrackedLayer},
      // Both faults at once: LaunchTestsE2E.ALateFirstFrameWithoutAHeadTrackedLayer...
      // Below 89 the hint is given; below the minimum too, the test fails; from 89 up it passes
      // whatever the minimum.
      {[] { return JudgeAverageFrameRate(88.5, 45.0); }, TestResult::Passed,
       Average("88.500000") + kFramewatchHintLine},
      {[] { return JudgeAverageFrameRate(44.9, 45.0); }, TestResult::Failed,
       Average("44.900000") + kFramewatchHintLine + kFrameRateTooLowLines},
      {[] { return JudgeAverageFrameRate(89.0, 95.0); }, TestResult::Passed, Average("89.000000")},
      {[] { return JudgeAverageFrameRate(0.0, 0.0); }, TestResult::Passed,
       Average("0.000000") + kFramewatchHintLine},
  };
  testsupport::ExpectJudgements(cases, testsupport::JudgementOutput::kTelemetry);
}

/// The shell of ApplicationInFront whose application also submits its first frame
/// `delaySeconds` after its session was created, unless the delay is negative.
FrontApplicationRig::ShellFactory RenderingApplication(double delaySeconds) {
  return [delaySeconds](const std::atomic<Validator*>& validator) -> testsupport::ShellScript {
    testsupport::ShellScript inFront = ValidatorTestAccess::ApplicationInFront(validator);
    auto rendered = std::make_shared<std::atomic<bool>>(delaySeconds < 0.0);
    return [&validator, inFront, rendered, delaySeconds](const std::string& path) {
      if (path == "/life_cycle/get_actual_location" && !rendered->exchange(true)) {
        ValidatorTestAccess::AddFirstFrame(
            *validator.load(), ValidatorTestAccess::LaunchedProcessId(*validator.load()),
            delaySeconds, true);
      }
      return inFront(path);
    };
  };
}

TEST(LaunchCourse, LaunchIntoVRJudgesTheFirstFrameOfTheSessionOrStopsWaitingForIt) {
  // A first frame in time: LaunchTestsE2E.AWellBehavedApplicationOfALauncher...
  // A second of session search, then the allowed time and the grace of 10 s; never less than
  // the grace, whatever is allowed.
  for (const auto& [allowed, waited] : {std::pair{4.0, 14}, std::pair{-20.0, 10}}) {
    testsupport::ExpectCourse(
        {"TestLaunchIntoVR", RenderingApplication(-1.0), {}, allowed},
        {TestResult::Failed,
         "The application submitted no frame within " + std::to_string(waited) +
             ".000000 seconds\n" + kFirstFrameTooLateLines,
         {},
         {},
         std::chrono::seconds(1 + waited)});
  }
}

TEST(LaunchCourse, FrameRatePrintsTheRateEveryHalfSecondAndJudgesTheAverage) {
  const testsupport::ChildOutcome run = testsupport::ExpectInChild([] {
    FrontApplicationRig rig;
    rig.validator.SetLoadTimeMs(1000);
    rig.validator.SetPrintFps(true);
    rig.validator.SetFpsTestDuration(2);
    rig.validator.SetMinAvgFps(45.0);
    // No compositor frame arrives: the rate stays at its full history, the average at 0.
    EXPECT_EQ(rig.validator.TestFrameRate(), TestResult::Failed);
    const std::vector<std::string> paths = testsupport::RequestPaths(rig.surroundings.shell);
    ASSERT_GE(paths.size(), 3u);
    EXPECT_EQ(paths.front(), "/hardware/set_proximity_sensor true");
    EXPECT_EQ(std::vector<std::string>(paths.end() - 3, paths.end()),
              (std::vector<std::string>{"/hardware/set_proximity_sensor true",
                                        "/hardware/set_proximity_sensor false",
                                        "/hardware/set_proximity_sensor false"}));
  });
  const std::regex expected(
      "Starting TestFrameRate\n"
      "Waiting for the application to run for 1 seconds before testing begins\\.\\.\\.\n"
      "Starting test\\.\\.\\.\n"
      "Starting measuring FPS at [0-9]+ seconds since epoch\n"
      "(Seconds elapsed: [0-9]+\\.[0-9]{3}    FPS: 90\\.00\n){4}"
      "Average FPS: 0\\.000000\n"
      "You can use Framewatch tool to diagnose frame rate issues\\.\n"
      "ERROR: The application did not maintain enough frame rate\\.\n"
      "Please refer to SQM Guidelines: [^\n]*sqm-pc-performance-3/\n"
      "Cleaning up\\.\\.\\.\n"
      "Test FAILED\n\n");
  EXPECT_TRUE(std::regex_match(run.out, expected)) << run.out;
}

TEST(LaunchCourse, FrameRateWithoutADurationEndsAtTheEnterKeyPressedAfterThePrompt) {
  const testsupport::ChildOutcome run = testsupport::ExpectInChild([] {
    int queries = 0;
    // The first query finds a press from before the prompt; it does not count.
    FrontApplicationRig rig([&] { return ++queries == 1 || queries == 4; });
    rig.validator.SetLoadTimeMs(1000);
    rig.validator.SetFpsTestDuration(0);
    rig.validator.SetMinAvgFps(0.0);
    EXPECT_EQ(rig.validator.TestFrameRate(), TestResult::Passed);
    EXPECT_EQ(queries, 4);
  });
  EXPECT_EQ(run.out, "Starting TestFrameRate\n" + testsupport::kBegunAfterLoad +
                         "Press the Enter key to stop the test.\nAverage FPS: 0.000000\n" +
                         kFramewatchHintLine + testsupport::Ended("PASSED"));
}

}  // namespace
}  // namespace QasValidator
