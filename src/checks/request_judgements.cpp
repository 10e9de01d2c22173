#include "checks/request_judgements.h"

#include <string>

#include "checks/guidelines.h"
#include "log/validator_log.h"
#include "validator/status_codes.h"

namespace QasValidator {

namespace {

/// Guideline pages: the recenter request, the request to quit.
constexpr int32_t kRecenterGuideline = 6;
constexpr int32_t kQuitGuideline = 7;
/// Calls per millisecond: one per 500 ms.
constexpr double kLowestRenderDescriptionFrequency = 0.002;

}  // namespace

TestResult JudgeRecenterWait(int32_t waited) {
  if (waited == 0) {
    LogInfo("Application successfully handled the recentering request");
    return TestResult::Passed;
  }
  Log(LogLevel::Error, {"Failed to receive a call for lux_RecenterTrackingOrigin or "
                        "lux_ClearShouldRecenterFlag within ",
                        std::to_string(kRecenterWaitMs / 1000), " second of recentering request"});
  CiteGuideline(kRecenterGuideline);
  return TestResultOfStatus(waited);
}

TestResult JudgeQuitWait(int32_t waited) {
  if (waited == 0) {
    LogInfo("Application successfully called lux_Destroy on request to quit");
    return TestResult::Passed;
  }
  Log(LogLevel::Error, {"Failed to receive a call for lux_Destroy on attempt to quit in ",
                        std::to_string(kQuitWaitMs / 1000), " seconds"});
  CiteGuideline(kQuitGuideline);
  return TestResult::Failed;
}

TestResult JudgeRenderDescriptionCalls(const std::array<uint32_t, 2>& calls) {
  const double left = calls[0] / static_cast<double>(kRenderDescriptionCountMs);
  const double right = calls[1] / static_cast<double>(kRenderDescriptionCountMs);
  // std::to_string writes six decimals.
  Log(LogLevel::Verbose, {"lux_GetRenderDesc call frequency for left eye ", std::to_string(left)});
  Log(LogLevel::Verbose,
      {"lux_GetRenderDesc call frequency for right eye ", std::to_string(right)});
  if (left < kLowestRenderDescriptionFrequency || right < kLowestRenderDescriptionFrequency) {
    LogError("The application is not calling lux_GetRenderDesc at least once in 500ms");
    return TestResult::Failed;
  }
  LogInfo("The application is calling lux_GetRenderDesc at least once in 500ms");
  return TestResult::Passed;
}

TestResult JudgeIadChangeWait(int32_t waited) {
  if (waited == 0) {
    LogInfo("The application is handling changes in Inter Axial Distance (IAD) correctly");
    return TestResult::Passed;
  }
  LogError(
      "The RenderPose in the layer structure passed in lux_SubmitFrame did not change on change "
      "in Inter Axial Distance (IAD)");
  return TestResultOfStatus(waited);
}

}  // namespace QasValidator
