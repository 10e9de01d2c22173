// The visibility tests end to end: the validator binary runs them on a fresh simulated machine
// against the sample application, whose switches make it commit its swap chain when it must
// not, or not when it must. The console lines are compared exactly; "%" in an expected text
// stands for a count of commits that varies with the machine's load (the verdict says whether
// there were any).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {
namespace {

const char kVisible[] = "TestSubmitFramesWhenVisible";
const char kNotVisible[] = "TestSubmitFramesWhenNotVisible";
const char kInDash[] = "TestSubmitFramesWhenInDash";

/// The counter lines; "%" for a count that varies.
const auto Counters = testsupport::CommitCounterLines;

const char kHeadsetOff[] = "Simulating HMD removal...\n";
const char kDashShown[] = "Showing dash...\n";
const char kNotFocusAware[] = "Testing for not focus aware app.\n";
const char kFocusAware[] = "Testing for focus aware app.\n";
using testsupport::kCommittedWhenNotVisibleLines;
using testsupport::kNoVisibleCommitLines;

TEST(VisibilityE2E, AWellBehavedApplicationCommitsOnlyWhileVisible) {
  const CommandOutcome run = ExpectRun(
      BegunAfterQuickLoad(kVisible) + Counters("%", "0") + Ended("PASSED") +
          BegunAfterQuickLoad(kNotVisible) + kHeadsetOff + Counters("0", "0") + Ended("PASSED") +
          BegunAfterQuickLoad(kInDash) + kNotFocusAware + kDashShown + Counters("0", "0") +
          Ended("PASSED") +
          Summary({std::string(kVisible) + ": Passed", std::string(kNotVisible) + ": Passed",
                   std::string(kInDash) + ": Passed"}),
      QuickLoadOptions({kVisible, kNotVisible, kInDash}));
  EXPECT_EQ(run.err, "");
}

TEST(VisibilityE2E, AnApplicationThatCommitsOnlyWhileHiddenFailsVisibleAndDash) {
  ExpectRun(BegunAfterQuickLoad(kVisible) + Counters("0", "0") + kNoVisibleCommitLines +
                Ended("FAILED") + BegunAfterQuickLoad(kInDash) + kNotFocusAware + kDashShown +
                Counters("0", "%") + testsupport::kNotFocusAwareCommittedInDashLines +
                Ended("FAILED") +
                Summary({std::string(kVisible) + ": Failed", std::string(kInDash) + ": Failed"}),
            QuickLoadOptions({kVisible, kInDash}),
            {"--no-commit-when-visible", "--commit-when-not-visible"});
}

// A focus-aware application is told apart; the unit tests judge its commits behind the dash.
TEST(VisibilityE2E, AFocusAwareApplicationThatStopsBehindTheDashFails) {
  ExpectRun(BegunAfterQuickLoad(kInDash) + kFocusAware + kDashShown + Counters("0", "0") +
                testsupport::kFocusAwareStoppedInDashLines + Ended("FAILED") +
                Summary({std::string(kInDash) + ": Failed"}),
            QuickLoadOptions({kInDash}), {"--focus-aware", "--no-commit-in-dash"});
}

// One commit 2.5 s after the application was hidden: inside the measurement, which begins a
// second after it and lasts 5 s. (Hidden by the headset taken off, a newer shell's way, the
// well-behaved run shows no commit.)
TEST(VisibilityE2E, OneCommitWhileAnOlderShellHidesTheApplicationWithItsMenuFails) {
  ExpectRun(BegunAfterQuickLoad(kNotVisible) + "Switching away to UM...\n" + Counters("0", "1") +
                kCommittedWhenNotVisibleLines + Ended("FAILED") +
                Summary({std::string(kNotVisible) + ": Failed"}),
            QuickLoadOptions({kNotVisible}), {"--stray-commit-after-ms", "2500"},
            {"--service-option", "--older-shell"});
}

}  // namespace
}  // namespace e2e
