#include "checks/visibility_judgements.h"

#include <string>

#include "checks/guidelines.h"
#include "log/validator_log.h"

namespace QasValidator {

namespace {

/// Guideline pages: the application submission, rendering while not visible, the dash.
constexpr int32_t kSubmissionGuideline = 0;
constexpr int32_t kNotVisibleGuideline = 5;
constexpr int32_t kDashGuideline = 8;

int32_t Signed(uint32_t count) { return static_cast<int32_t>(count); }

TestResult Fail(const char* message, int32_t guideline) {
  LogError(message);
  CiteGuideline(guideline);
  return TestResult::Failed;
}

}  // namespace

void PrintCommitCounts(const CommitCounts& counts) {
  LogInfo("Number of texture swap chains committed when visible ", std::to_string(counts.visible));
  LogInfo("Number of texture swap chains committed when not visible ",
          std::to_string(counts.notVisible));
}

TestResult JudgeCommitsWhenVisible(const CommitCounts& counts) {
  if (counts.visible != 0) return TestResult::Passed;
  return Fail("The application did not commit any texture swap chains", kSubmissionGuideline);
}

TestResult JudgeCommitsWhenNotVisible(const CommitCounts& counts) {
  if (Signed(counts.notVisible) <= 0) return TestResult::Passed;
  return Fail(
      "Committed a texture swap chain (called lux_CommitTextureSwapChain) when application not "
      "visible",
      kNotVisibleGuideline);
}

TestResult JudgeCommitsInDash(bool focusAware, const CommitCounts& counts) {
  const int32_t committed = Signed(counts.notVisible);
  if (!focusAware && committed >= 1) {
    return Fail(
        "Not focus aware app committed a texture swap chain (called lux_CommitTextureSwapChain) "
        "when dash was shown",
        kDashGuideline);
  }
  if (focusAware && committed == 0) {
    return Fail("Focus aware app failed to commit to texture swap chain when dash was shown.",
                kDashGuideline);
  }
  return TestResult::Passed;
}

TestResult ReportMenuNotShown() {
  Log(LogLevel::Error, {"The shell did not show the universal menu (UM) within ",
                        std::to_string(kMenuWaitMs / 1000), " seconds"});
  return TestResult::Failed;
}

}  // namespace QasValidator
