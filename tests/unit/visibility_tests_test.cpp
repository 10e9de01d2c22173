#include <gtest/gtest.h>

#include <limits>

#include "checks/visibility_judgements.h"
#include "support/validator_course.h"
#include "validator/validator.h"

// The visibility tests: their verdicts on the commits they counted, and their course against an
// in-test shell, with a real application process, commits written into the session's record
// while the validator measures, and waits on a fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::Course;
using testsupport::GuidelineLine;
using testsupport::kBegunAfterLoad;
using testsupport::ShellAnswer;
using testsupport::ShellScript;

using testsupport::kCommittedWhenNotVisibleLines;
using testsupport::kFocusAwareStoppedInDashLines;
using testsupport::kNotFocusAwareCommittedInDashLines;
using testsupport::kNoVisibleCommitLines;

CommitCounts Counts(uint32_t visible, uint32_t notVisible) { return {visible, notVisible}; }

TEST(CommitJudgements, EachTestJudgesItsCountsWithItsMessage) {
  // A not-visible count beyond the signed range counts as negative. One commit while not visible
  // fails, none passes: VisibilityCourse.
  constexpr uint32_t kWrapped = uint32_t{std::numeric_limits<int32_t>::max()} + 1;
  const testsupport::JudgementCase cases[] = {
      {[] { return JudgeCommitsWhenVisible(Counts(0, 300)); }, TestResult::Failed,
       kNoVisibleCommitLines},
      {[] { return JudgeCommitsWhenVisible(Counts(1, 0)); }, TestResult::Passed, ""},
      {[] { return JudgeCommitsWhenNotVisible(Counts(0, kWrapped)); }, TestResult::Passed, ""},
      {[] { return JudgeCommitsInDash(false, Counts(0, 1)); }, TestResult::Failed,
       kNotFocusAwareCommittedInDashLines},
      {[] { return JudgeCommitsInDash(false, Counts(0, kWrapped)); }, TestResult::Passed, ""},
      // Visible commits do not count under the dash.
      {[] { return JudgeCommitsInDash(true, Counts(40, 0)); }, TestResult::Failed,
       kFocusAwareStoppedInDashLines},
      {[] { return JudgeCommitsInDash(true, Counts(0, 1)); }, TestResult::Passed, ""},
  };
  testsupport::ExpectJudgements(cases);
}

/// Counter values that no reset leaves: they show that the test zeroed the counters.
constexpr uint32_t kUnreset = 999999;

/// Plays an application that commits `counts` while the validator measures: the session's
/// counters are set to kUnreset once the session is known, and to `counts` at the first pause
/// after the test has zeroed them. With `transientError`, the runtime then raises its transient
/// internal error.
FrontApplicationRig::PauseHook CommitsWhileMeasured(CommitCounts counts,
                                                    bool transientError = false) {
  auto stage = std::make_shared<int>(0);  // 0 unseeded, 1 seeded, 2 committed, 3 done
  return [=](Validator& validator) {
    if (validator.SessionPid() == 0 || *stage == 3) return;
    validator.WithSessionRecord([&](ProcessRecord& record) {
      if (*stage == 0) {
        record.commitsVisible = record.commitsNotVisible = kUnreset;
        *stage = 1;
      } else if (*stage == 1 && record.commitsVisible == 0 && record.commitsNotVisible == 0) {
        record.commitsVisible = counts.visible;
        record.commitsNotVisible = counts.notVisible;
        *stage = transientError ? 2 : 3;
      } else if (*stage == 2) {
        ValidatorTestAccess::TransientError(validator) = true;
        *stage = 3;
      }
    });
  };
}

/// A newer shell that answers the focus-aware query with false.
FrontApplicationRig::ShellFactory NewerShellSaysNotFocusAware() {
  return [](const std::atomic<Validator*>& validator) -> ShellScript {
    ShellScript inFront = ValidatorTestAccess::NewerShellApplicationInFront(validator);
    return [inFront](const std::string& path) -> std::optional<ShellAnswer> {
      if (path != "/life_cycle/get_focus_aware") return inFront(path);
      return ShellAnswer{"BOOL", R"({"value":false})"};
    };
  };
}

/// An older shell whose location is "APP" for the session search and then, from the
/// `menuFrom`-th query of the test on, "UM" (never when `menuFrom` is 0).
FrontApplicationRig::ShellFactory OlderShellShowingTheMenu(int menuFrom) {
  return [menuFrom](const std::atomic<Validator*>& validator) -> ShellScript {
    ShellScript inFront = ValidatorTestAccess::ApplicationInFront(validator);
    auto queries = std::make_shared<std::atomic<int>>(0);
    return [inFront, queries, menuFrom](const std::string& path) -> std::optional<ShellAnswer> {
      if (path != "/life_cycle/get_actual_location") return inFront(path);
      const int query = (*queries)++;  // the first one is the session search's
      if (query == 0 || menuFrom == 0 || query < menuFrom) return inFront(path);
      return ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"UM"})"};
    };
  };
}

std::string Counters(uint32_t visible, uint32_t notVisible) {
  return testsupport::CommitCounterLines(std::to_string(visible), std::to_string(notVisible));
}

const std::string kHeadsetOff = "Simulating HMD removal...\n";
const std::string kMenu = "Switching away to UM...\n";
const std::string kNotAware = "Testing for not focus aware app.\nShowing dash...\n";
const char kOff[] = "/hardware/set_proximity_sensor false";
const char kLocation[] = "/life_cycle/get_actual_location";

TEST(VisibilityCourse, EachTestTakesTheApplicationWhereItMeasuresAndBack) {
  const char kVisible[] = "TestSubmitFramesWhenVisible";
  const char kNotVisible[] = "TestSubmitFramesWhenNotVisible";
  const char kInDash[] = "TestSubmitFramesWhenInDash";
  const std::pair<Course, testsupport::CourseExpectation> cases[] = {
      // The session search (1 s), the load time (1 s) and the measurement (5 s) with the
      // headset on; ShutdownTest takes it off and switches the fake inter-axial distance off.
      {{kVisible, ValidatorTestAccess::NewerShellApplicationInFront,
        CommitsWhileMeasured(Counts(448, 2))},
       {TestResult::Passed,
        kBegunAfterLoad + Counters(448, 2),
        {"/hardware/set_proximity_sensor true", kOff, kOff},
        {"FakeIADEnabled=false"},
        7000ms}},
      // A second's pause after the headset came off, before the measurement.
      {{kNotVisible, ValidatorTestAccess::NewerShellApplicationInFront,
        CommitsWhileMeasured(Counts(0, 1))},
       {TestResult::Failed,
        kBegunAfterLoad + kHeadsetOff + Counters(0, 1) + kCommittedWhenNotVisibleLines,
        {"/life_cycle/get_dash_visibility", kOff, "/life_cycle/request_the_void false", kOff},
        {},
        8000ms}},
      // An older shell is asked for its menu, and queried once a second until it shows it.
      {{kNotVisible, OlderShellShowingTheMenu(3), CommitsWhileMeasured(Counts(0, 0))},
       {TestResult::Passed,
        kBegunAfterLoad + kMenu + Counters(0, 0),
        {"/life_cycle/get_dash_visibility", kLocation, "/life_cycle/request_location", kLocation,
         kLocation, "/life_cycle/request_the_void false", kOff},
        {},
        9000ms}},
      // One that never shows it ends the test after 30 s of queries, without a measurement.
      {{kNotVisible, OlderShellShowingTheMenu(0)},
       {TestResult::Failed,
        kBegunAfterLoad + kMenu +
            "ERROR: The shell did not show the universal menu (UM) within 30 seconds\n",
        {kLocation, kLocation, kOff},
        {},
        32000ms}},
      // The dash of a focus-aware application:
      // VisibilityE2E.AFocusAwareApplicationThatStopsBehindTheDashFails. A shell that cannot
      // tell: HubRemoteControlTest reads no answer as not focus aware.
      // The test ends without its counters; the dash stays requested.
      {{kInDash, NewerShellSaysNotFocusAware(), CommitsWhileMeasured({0, 5}, true)},
       {TestResult::TransientError,
        kBegunAfterLoad + kNotAware + testsupport::kTransientErrorLines,
        {"/life_cycle/request_the_void true", kOff}}},
  };
  for (const auto& [course, expected] : cases) {
    SCOPED_TRACE(course.test + " " + expected.printed);
    testsupport::ExpectCourse(course, expected);
  }
}

}  // namespace
}  // namespace QasValidator
