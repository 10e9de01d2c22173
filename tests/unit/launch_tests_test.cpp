#include <gtest/gtest.h>

#include <regex>

#include "checks/launch_judgements.h"
#include "support/child_process.h"
#include "support/fake_time.h"
#include "support/validator_surroundings.h"
#include "support/validator_test_access.h"
#include "support/verdict.h"
#include "validator/validator.h"

// TestLaunchIntoVR and TestFrameRate: their verdicts (messages, guideline pages, usage events)
// and their course against an in-test shell, with a real application process and waits on a
// fake clock.

namespace QasValidator {
namespace {

using testsupport::GuidelineLine;
using testsupport::RunInChild;
using testsupport::Verdict;

const std::string kPage9 = GuidelineLine("sqm-pc-performance-1/");
const std::string kPage10 = GuidelineLine("sqm-pc-performance-3/");

// Runs a judgement in a child process that prints the usage events it sends.
Verdict Judge(const std::function<TestResult()>& judgement) {
  return testsupport::JudgeRecordingTelemetry(judgement);
}

const std::string kFirstFrameAt4_2 =
    "Time taken to submit the first frame: 4.200000 seconds\n"
    "[telemetry] user_action=Validator_action_TestLaunchIntoVR_timeToSubmitFrameSec; "
    "user_action_param=4.200000\n";

TEST(FirstFrameJudgement, AFrameLaterThanTheLimitFails) {
  const Verdict verdict = Judge([] { return JudgeFirstFrame(4.2, true, 4.0); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            kFirstFrameAt4_2 + "ERROR: The application took too long to submit the first frame.\n" +
                kPage9);
}

TEST(FirstFrameJudgement, AFrameExactlyAtTheLimitPasses) {
  const Verdict verdict = Judge([] { return JudgeFirstFrame(4.0, true, 4000 / 1000.0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed,
            "Time taken to submit the first frame: 4.000000 seconds\n"
            "[telemetry] user_action=Validator_action_TestLaunchIntoVR_timeToSubmitFrameSec; "
            "user_action_param=4.000000\n");
}

TEST(FirstFrameJudgement, AFirstFrameWithoutAHeadTrackedLayerFails) {
  const Verdict verdict = Judge([] { return JudgeFirstFrame(0.25, false, 4.0); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "Time taken to submit the first frame: 0.250000 seconds\n"
            "[telemetry] user_action=Validator_action_TestLaunchIntoVR_timeToSubmitFrameSec; "
            "user_action_param=0.250000\n"
            "[telemetry] user_action=Validator_action_TestLaunchIntoVR_MissingHeadTrackedLayer\n"
            "ERROR: The application did not submit a head-tracked layer in the first "
            "lux_SubmitFrame call\n" +
                kPage9);
}

TEST(FirstFrameJudgement, ALateFrameWithoutAHeadTrackedLayerGetsBothMessages) {
  const Verdict verdict = Judge([] { return JudgeFirstFrame(4.2, false, 4.0); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(
      verdict.printed,
      kFirstFrameAt4_2 + "ERROR: The application took too long to submit the first frame.\n" +
          kPage9 +
          "[telemetry] user_action=Validator_action_TestLaunchIntoVR_MissingHeadTrackedLayer\n"
          "ERROR: The application did not submit a head-tracked layer in the first "
          "lux_SubmitFrame call\n" +
          kPage9);
}

TEST(FirstFrameJudgement, NoFrameAtAllIsTooLate) {
  const Verdict verdict = Judge([] { return JudgeMissingFirstFrame(14.0); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "The application submitted no frame within 14.000000 seconds\n"
            "ERROR: The application took too long to submit the first frame.\n" +
                kPage9);
}

std::string AverageLines(const std::string& average) {
  return "Average FPS: " + average +
         "\n[telemetry] user_action=Validator_action_TestFrameRate_AvgFPS; user_action_param=" +
         average + "\n";
}

const char kHint[] = "You can use Framewatch tool to diagnose frame rate issues.\n";

TEST(FrameRateJudgement, BetweenTheMinimumAnd89TheHintIsGivenAndTheTestPasses) {
  const Verdict verdict = Judge([] { return JudgeAverageFrameRate(88.5, 45.0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, AverageLines("88.500000") + kHint);
}

TEST(FrameRateJudgement, BelowTheMinimumTheTestFailsWithPage10) {
  const Verdict verdict = Judge([] { return JudgeAverageFrameRate(44.9, 45.0); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, AverageLines("44.900000") + kHint +
                                 "ERROR: The application did not maintain enough frame rate.\n" +
                                 kPage10);
}

TEST(FrameRateJudgement, From89UpTheTestPassesWithoutAWordWhateverTheMinimum) {
  Verdict verdict = Judge([] { return JudgeAverageFrameRate(89.0, 45.0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, AverageLines("89.000000"));
  verdict = Judge([] { return JudgeAverageFrameRate(89.0, 95.0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, AverageLines("89.000000"));
}

TEST(FrameRateJudgement, NoFramesAtAllFailOnlyAPositiveMinimum) {
  Verdict verdict = Judge([] { return JudgeAverageFrameRate(0.0, 0.0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, AverageLines("0.000000") + kHint);
  verdict = Judge([] { return JudgeAverageFrameRate(0.0, 0.5); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
}

TEST(FrameRatePrinter, ShowsThreeDecimalsOfSecondsAndTwoOfTheRate) {
  EXPECT_EQ(FrameRateLine(1.5, 90.0), "Seconds elapsed: 1.500    FPS: 90.00");
  EXPECT_EQ(FrameRateLine(10.0004, 87.1875), "Seconds elapsed: 10.000    FPS: 87.19");
}

// ---- The tests' course ----

using testsupport::FakeTime;
using testsupport::ShellAnswer;
using testsupport::ShellScript;
using testsupport::ValidatorSurroundings;

class LaunchTestsTest : public testing::Test, protected ValidatorTestAccess {
 protected:
  /// The shell of ApplicationInFront whose application also submits its first frame
  /// `delaySeconds` after its session was created, unless the delay is negative.
  static ShellScript RenderingApplication(const std::atomic<Validator*>& validator,
                                          double delaySeconds) {
    ShellScript inFront = ApplicationInFront(validator);
    auto rendered = std::make_shared<std::atomic<bool>>(delaySeconds < 0.0);
    return [&validator, inFront, rendered, delaySeconds](const std::string& path) {
      if (path == "/life_cycle/get_actual_location" && !rendered->exchange(true)) {
        AddFirstFrame(*validator.load(), LaunchedProcessId(*validator.load()), delaySeconds, true);
      }
      return inFront(path);
    };
  }
};

TEST_F(LaunchTestsTest, LaunchIntoVRJudgesTheFirstFrameOfTheSession) {
  const auto run = RunInChild([] {
    FrontApplicationRig rig([] { return false; },
                            [](const std::atomic<Validator*>& validator) {
                              return RenderingApplication(validator, 0.5);
                            });
    Validator& subject = rig.validator;
    subject.SetMaxTimeToFrame(4.0);
    return static_cast<int>(subject.TestLaunchIntoVR());
  });
  EXPECT_EQ(run.exitStatus, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.out,
            "Starting TestLaunchIntoVR\n"
            "Time taken to submit the first frame: 0.500000 seconds\n"
            "Cleaning up...\n"
            "Test PASSED\n\n");
}

TEST_F(LaunchTestsTest, LaunchIntoVRStopsWaitingForAFrameThatNeverComes) {
  // The allowed time and the grace of 10 s; never less than the grace, whatever is allowed.
  for (const auto& [allowedSeconds, waited] :
       {std::pair{2.5, std::string("12.500000")}, std::pair{-20.0, std::string("10.000000")}}) {
    const auto run = RunInChild([allowedSeconds = allowedSeconds, waited = waited] {
      FrontApplicationRig rig([] { return false; },
                              [](const std::atomic<Validator*>& validator) {
                                return RenderingApplication(validator, -1.0);
                              });
      Validator& subject = rig.validator;
      subject.SetMaxTimeToFrame(allowedSeconds);
      const TestResult result = subject.TestLaunchIntoVR();
      // A second of session search, then the wait.
      const auto least = std::chrono::milliseconds(1000 + std::stoi(waited) * 1000);
      return result == TestResult::Failed && rig.time.Elapsed() >= least ? 0 : 1;
    });
    EXPECT_EQ(run.exitStatus, 0) << allowedSeconds;
    EXPECT_EQ(run.out,
              "Starting TestLaunchIntoVR\n"
              "The application submitted no frame within " +
                  waited +
                  " seconds\n"
                  "ERROR: The application took too long to submit the first frame.\n" +
                  kPage9 + "Cleaning up...\nTest FAILED\n\n");
  }
}

TEST_F(LaunchTestsTest, FrameRatePrintsTheRateEveryHalfSecondAndJudgesTheAverage) {
  const auto run = RunInChild([] {
    FrontApplicationRig rig;
    Validator& subject = rig.validator;
    subject.SetLoadTimeMs(1000);
    subject.SetPrintFps(true);
    subject.SetFpsTestDuration(2);
    subject.SetMinAvgFps(45.0);
    const TestResult result = subject.TestFrameRate();
    const std::vector<std::string> paths = testsupport::RequestPaths(rig.surroundings.shell);
    const std::vector<std::string> proximity(paths.begin(), paths.begin() + 1);
    if (paths.front() != "/hardware/set_proximity_sensor true") return 10;
    const std::vector<std::string> last(paths.end() - 3, paths.end());
    if (last != std::vector<std::string>{"/hardware/set_proximity_sensor true",
                                         "/hardware/set_proximity_sensor false",
                                         "/hardware/set_proximity_sensor false"}) {
      return 11;
    }
    return static_cast<int>(result);
  });
  // No compositor frame arrived: the rate stays at its full history, the average at 0.
  EXPECT_EQ(run.exitStatus, static_cast<int>(TestResult::Failed));
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

TEST_F(LaunchTestsTest, FrameRateWithoutADurationEndsAtTheEnterKeyPressedAfterThePrompt) {
  const auto run = RunInChild([] {
    int queries = 0;
    // The first query finds a press from before the prompt; it does not count.
    FrontApplicationRig rig([&] {
      ++queries;
      return queries == 1 || queries == 4;
    });
    Validator& subject = rig.validator;
    subject.SetLoadTimeMs(1000);
    subject.SetFpsTestDuration(0);
    subject.SetMinAvgFps(0.0);
    const TestResult result = subject.TestFrameRate();
    return queries == 4 ? static_cast<int>(result) : 10;
  });
  EXPECT_EQ(run.exitStatus, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.out,
            "Starting TestFrameRate\n"
            "Waiting for the application to run for 1 seconds before testing begins...\n"
            "Starting test...\n"
            "Press the Enter key to stop the test.\n"
            "Average FPS: 0.000000\n"
            "You can use Framewatch tool to diagnose frame rate issues.\n"
            "Cleaning up...\n"
            "Test PASSED\n\n");
}

}  // namespace
}  // namespace QasValidator
