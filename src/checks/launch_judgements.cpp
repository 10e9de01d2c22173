#include "checks/launch_judgements.h"

#include <cstdio>

#include "checks/guidelines.h"
#include "log/validator_log.h"
#include "telemetry/usage_telemetry.h"

namespace QasValidator {

namespace {

/// Guideline pages: the time to the first frame, the frame rate.
constexpr int32_t kLaunchGuideline = 9;
constexpr int32_t kFrameRateGuideline = 10;
/// Averages from this rate up pass without a word, whatever the required minimum.
constexpr double kSmoothFrameRate = 89.0;

void ReportTooLate() {
  LogError("The application took too long to submit the first frame.");
  CiteGuideline(kLaunchGuideline);
}

}  // namespace

TestResult JudgeFirstFrame(double delaySeconds, bool headTrackedLayerSeen, double maxDelaySeconds) {
  const std::string delay = std::to_string(delaySeconds);  // six decimals
  Log(LogLevel::Info, {"Time taken to submit the first frame: ", delay, " seconds"});
  UsageTelemetry::Instance().SendUserAction(
      "Validator_action_TestLaunchIntoVR_timeToSubmitFrameSec", delay);
  TestResult result = TestResult::Passed;
  if (delaySeconds > maxDelaySeconds) {
    ReportTooLate();
    result = TestResult::Failed;
  }
  if (!headTrackedLayerSeen) {
    UsageTelemetry::Instance().SendUserAction(
        "Validator_action_TestLaunchIntoVR_MissingHeadTrackedLayer");
    LogError(
        "The application did not submit a head-tracked layer in the first lux_SubmitFrame call");
    CiteGuideline(kLaunchGuideline);
    result = TestResult::Failed;
  }
  return result;
}

TestResult JudgeMissingFirstFrame(double waitedSeconds) {
  Log(LogLevel::Info,
      {"The application submitted no frame within ", std::to_string(waitedSeconds), " seconds"});
  ReportTooLate();
  return TestResult::Failed;
}

TestResult JudgeAverageFrameRate(double averageFps, double minimumFps) {
  const std::string average = std::to_string(averageFps);  // six decimals
  LogInfo("Average FPS: ", average);
  UsageTelemetry::Instance().SendUserAction("Validator_action_TestFrameRate_AvgFPS", average);
  if (averageFps >= kSmoothFrameRate) return TestResult::Passed;
  LogInfo("You can use Framewatch tool to diagnose frame rate issues.");
  if (averageFps < minimumFps) {
    LogError("The application did not maintain enough frame rate.");
    CiteGuideline(kFrameRateGuideline);
    return TestResult::Failed;
  }
  return TestResult::Passed;
}

std::string FrameRateLine(double elapsedSeconds, double currentFps) {
  char line[96];
  std::snprintf(line, sizeof line, "Seconds elapsed: %.3f    FPS: %.2f", elapsedSeconds,
                currentFps);
  return line;
}

}  // namespace QasValidator
