#pragma once

#include <cstdint>

#include "validator/test_result.h"

// The verdicts of the visibility tests (TestSubmitFramesWhenVisible,
// TestSubmitFramesWhenNotVisible, TestSubmitFramesWhenInDash) on the swap-chain commits they
// counted, with their messages.

namespace QasValidator {

/// The swap-chain commits of the application during a measurement.
struct CommitCounts {
  uint32_t visible = 0;     // while its session was visible
  uint32_t notVisible = 0;  // while it was not
};

/// How long TestSubmitFramesWhenNotVisible waits for an older shell to show its menu ("UM").
inline constexpr int32_t kMenuWaitMs = 30000;

/// Writes the two counter lines.
void PrintCommitCounts(const CommitCounts& counts);

/// An application must commit while it is visible.
TestResult JudgeCommitsWhenVisible(const CommitCounts& counts);

/// An application must not commit while it is not visible: one commit fails it. The count is
/// taken as a signed number.
TestResult JudgeCommitsWhenNotVisible(const CommitCounts& counts);

/// Under the dash, a focus-aware application must go on committing, one that is not focus aware
/// must stop. The not-visible count is taken as a signed number.
TestResult JudgeCommitsInDash(bool focusAware, const CommitCounts& counts);

/// An older shell did not show its menu within `kMenuWaitMs`: the test cannot take the
/// application out of view.
TestResult ReportMenuNotShown();

}  // namespace QasValidator
