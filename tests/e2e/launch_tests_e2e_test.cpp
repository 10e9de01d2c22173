// TestLaunchIntoVR and TestFrameRate end to end: the validator binary runs them on a fresh
// simulated machine against the sample application, whose switches make it misbehave. The
// console lines are compared exactly, except the measured numbers ("#" in an expected text
// stands for a decimal number with six decimals).

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {
namespace {

const std::string kPage9 = GuidelineLine("sqm-pc-performance-1/");

// Pieces of the expected console output.

/// The measurement of TestFrameRate up to its average, with the Framewatch hint.
std::string Measured() {
  return std::string("Starting test...\nAverage FPS: #\n") + testsupport::kFramewatchHintLine;
}

const char kFirstFrame[] = "Time taken to submit the first frame: # seconds\n";

// The application is started by a launcher that waits for it: the session belongs to the
// launcher's child, which the shell reports in front, and the close request reaches it. (A
// launcher that exits at once: ValidatorE2E.ARunReportsEveryStepAndItsDurationToTheRuntime.)
TEST(LaunchTestsE2E, AWellBehavedApplicationOfALauncherPassesBothAndTheLogFileSaysSo) {
  const std::string log =
      testing::TempDir() + "launch_tests_e2e_log_" + std::to_string(getpid()) + ".txt";
  std::remove(log.c_str());
  // A minimum that a loaded machine keeps well below the application's 90 frames a second.
  // Under a heavy load of the machine a frame may come too late now and then: the hint may
  // show even at 90 frames a second.
  const CommandOutcome run = ExpectRun(
      Started("TestLaunchIntoVR") + kFirstFrame + Ended("PASSED") + Started("TestFrameRate") +
          LoadWait(1) + Measured() + Ended("PASSED") +
          Summary({"TestLaunchIntoVR: Passed", "TestFrameRate: Passed"}),
      {"--test", "TestLaunchIntoVR", "--test", "TestFrameRate", "--load_time_ms", "1000",
       "--fps_test_duration", "3", "--min_avg_fps", "20", "--log_file", log},
      {"--launcher-wait"}, {}, {"You can use Framewatch tool to diagnose frame rate issues."});
  EXPECT_EQ(run.err, "");

  const std::string logged = ReadFile(log);
  for (const char* line :
       {"INFO: Starting TestLaunchIntoVR\n", "INFO: Dismissing the health and safety warning\n",
        "INFO: Time taken to submit the first frame: ", "INFO: Average FPS: ",
        "INFO: Test PASSED\n\n", "INFO: TestFrameRate: Passed\n"}) {
    EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
  }
}

TEST(LaunchTestsE2E, ALateFirstFrameWithoutAHeadTrackedLayerAndThirtyFramesASecondFail) {
  const CommandOutcome run = ExpectRun(
      Started("TestLaunchIntoVR") + kFirstFrame + testsupport::kFirstFrameTooLateLines +
          "ERROR: The application did not submit a head-tracked layer in the "
          "first lux_SubmitFrame call\n" +
          kPage9 + Ended("FAILED") + Started("TestFrameRate") + LoadWait(1) + Measured() +
          testsupport::kFrameRateTooLowLines + Ended("FAILED") +
          Summary({"TestLaunchIntoVR: Failed", "TestFrameRate: Failed"}),
      {"--test", "TestLaunchIntoVR", "--test", "TestFrameRate", "--max_time_to_frame", "2000",
       "--load_time_ms", "1000", "--fps_test_duration", "3", "--min_avg_fps", "45"},
      {"--fps", "30", "--first-frame-delay-ms", "2500", "--first-frame-head-locked"});
  EXPECT_GE(NumberAfter(run.out, "Time taken to submit the first frame: "), 2.5);
  EXPECT_LT(NumberAfter(run.out, "Average FPS: "), 45.0);
}

// An application that quits during the wait without crashing fails alike, without the line
// (the unit tests judge it).
TEST(LaunchTestsE2E, AnApplicationThatCrashesDuringAWaitFailsWithItsExitCode) {
  ExpectRun(Started("TestFrameRate") + LoadWait(5) +
                "ERROR: Application crashed with exit code 139\n" + Ended("FAILED") +
                Summary({"TestFrameRate: Failed"}),
            {"--test", "TestFrameRate", "--load_time_ms", "5000", "--fps_test_duration", "1"},
            {"--end-after-ms", "3000", "--crash", "SEGV"});
}

TEST(LaunchTestsE2E, AnApplicationIgnoringTheCloseRequestIsTerminatedAfterTwentySeconds) {
  const auto start = std::chrono::steady_clock::now();
  ExpectRun(Started("TestLaunchIntoVR") + kFirstFrame +
                "Cleaning up...\n"
                "ERROR: Could not quit application gracefully in 20.000000 seconds, force "
                "quitting\nTest PASSED\n\n" +
                Summary({"TestLaunchIntoVR: Passed"}),
            {"--test", "TestLaunchIntoVR"}, {"--ignore-close"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(LaunchTestsE2E, ATransientErrorOnTheFirstTwoLaunchesGivesThreeAttempts) {
  const std::string launches =
      testing::TempDir() + "launch_tests_e2e_launches_" + std::to_string(getpid());
  std::remove(launches.c_str());
  const std::string failedAttempt = Started("TestFrameRate") + LoadWait(4) +
                                    testsupport::kTransientErrorLines + Ended("FAILED") +
                                    "*** Retrying the test ***\n";
  // The error comes once the session was found, during the load wait.
  ExpectRun(
      failedAttempt + failedAttempt + Started("TestFrameRate") + LoadWait(4) + Measured() +
          Ended("PASSED") +
          Summary({"TestFrameRate: Failed", "TestFrameRate: Failed", "TestFrameRate: Passed"}),
      {"--test", "TestFrameRate", "--load_time_ms", "4000", "--fps_test_duration", "1",
       "--min_avg_fps", "20"},
      {"--transient-error-launches", "2", "--transient-error-delay-ms", "3000",
       "--launch-count-file", launches},
      {}, {"You can use Framewatch tool to diagnose frame rate issues."});
  EXPECT_EQ(ReadFile(launches), "3\n");
}

}  // namespace
}  // namespace e2e
