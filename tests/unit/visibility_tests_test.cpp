#include <gtest/gtest.h>

#include <limits>

#include "checks/visibility_judgements.h"
#include "support/child_process.h"
#include "support/validator_course.h"
#include "support/validator_test_access.h"
#include "support/verdict.h"
#include "validator/validator.h"

// The visibility tests: their verdicts on the commits they counted (messages, guideline pages)
// and their course against an in-test shell, with a real application process, commits written
// into the session's record while the validator measures, and waits on a fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::Course;
using testsupport::CourseOutcome;
using testsupport::GuidelineLine;
using testsupport::JudgeInChild;
using testsupport::RunCourse;
using testsupport::RunInChild;
using testsupport::ShellAnswer;
using testsupport::ShellScript;
using testsupport::Verdict;

Verdict Judge(const std::function<TestResult()>& judgement) { return JudgeInChild(judgement); }

TEST(CommitJudgements, TheCountersArePrintedVisibleFirst) {
  const auto run = RunInChild([] {
    PrintCommitCounts({451, 3});
    return 0;
  });
  EXPECT_EQ(run.out,
            "Number of texture swap chains committed when visible 451\n"
            "Number of texture swap chains committed when not visible 3\n");
}

TEST(CommitJudgements, NoCommitWhileVisibleFailsWithTheSubmissionPage) {
  Verdict verdict = Judge([] { return JudgeCommitsWhenVisible({0, 300}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, "ERROR: The application did not commit any texture swap chains\n" +
                                 GuidelineLine("publish-tarn-app-submission/"));
  verdict = Judge([] { return JudgeCommitsWhenVisible({1, 0}); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "");
}

TEST(CommitJudgements, OneCommitWhileNotVisibleFailsWithPage5) {
  Verdict verdict = Judge([] { return JudgeCommitsWhenNotVisible({450, 1}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "ERROR: Committed a texture swap chain (called lux_CommitTextureSwapChain) when "
            "application not visible\n" +
                GuidelineLine("sqm-pc-input-1/"));
  EXPECT_EQ(Judge([] { return JudgeCommitsWhenNotVisible({450, 0}); }).result, TestResult::Passed);
}

TEST(CommitJudgements, ANotVisibleCountBeyondTheSignedRangeCountsAsNegative) {
  const uint32_t wrapped = uint32_t{std::numeric_limits<int32_t>::max()} + 1;
  EXPECT_EQ(Judge([&] {
              return JudgeCommitsWhenNotVisible({0, wrapped});
            }).result,
            TestResult::Passed);
  EXPECT_EQ(Judge([&] {
              return JudgeCommitsInDash(false, {0, wrapped});
            }).result,
            TestResult::Passed);
}

TEST(CommitJudgements, UnderTheDashOnlyAFocusAwareApplicationMayCommit) {
  const std::string notAware =
      "ERROR: Not focus aware app committed a texture swap chain (called "
      "lux_CommitTextureSwapChain) when dash was shown\n" +
      GuidelineLine("sqm-pc-input-9/");
  const std::string aware =
      "ERROR: Focus aware app failed to commit to texture swap chain when dash was shown.\n" +
      GuidelineLine("sqm-pc-input-9/");
  Verdict verdict = Judge([] { return JudgeCommitsInDash(false, {0, 1}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, notAware);
  verdict = Judge([] { return JudgeCommitsInDash(false, {0, 0}); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "");
  verdict = Judge([] { return JudgeCommitsInDash(true, {0, 0}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, aware);
  // Visible commits do not count under the dash.
  verdict = Judge([] { return JudgeCommitsInDash(true, {40, 0}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  verdict = Judge([] { return JudgeCommitsInDash(true, {0, 1}); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "");
}

TEST(CommitJudgements, AMenuThatNeverComesIsReportedWithTheBound) {
  const Verdict verdict = Judge([] { return ReportMenuNotShown(); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "ERROR: The shell did not show the universal menu (UM) within 30 seconds\n");
}

// ---- The tests' course ----

/// Counter values that no reset leaves: they show that the test zeroed the counters.
constexpr uint32_t kUnreset = 999999;

/// Plays an application that commits `counts` while the validator measures: the session's
/// counters are set to kUnreset once the session is known, and to `counts` at the first pause
/// after the test has zeroed them.
std::function<void(Validator&)> CommitsWhileMeasured(CommitCounts counts) {
  auto seeded = std::make_shared<bool>(false);
  auto committed = std::make_shared<bool>(false);
  return [=](Validator& validator) {
    if (validator.SessionPid() == 0 || *committed) return;
    validator.WithSessionRecord([&](ProcessRecord& record) {
      if (!*seeded) {
        record.commitsVisible = record.commitsNotVisible = kUnreset;
        *seeded = true;
      } else if (record.commitsVisible == 0 && record.commitsNotVisible == 0) {
        record.commitsVisible = counts.visible;
        record.commitsNotVisible = counts.notVisible;
        *committed = true;
      }
    });
  };
}

ShellScript NewerShell(const std::atomic<Validator*>& validator) {
  return ValidatorTestAccess::NewerShellApplicationInFront(validator);
}

/// A newer shell that answers the focus-aware query with `answer` (nothing: an error).
std::function<ShellScript(const std::atomic<Validator*>&)> NewerShellSaysFocusAware(
    std::optional<bool> answer) {
  return [answer](const std::atomic<Validator*>& validator) -> ShellScript {
    ShellScript inFront = NewerShell(validator);
    return [inFront, answer](const std::string& path) -> std::optional<ShellAnswer> {
      if (path != "/life_cycle/get_focus_aware") return inFront(path);
      if (!answer) return ShellAnswer{"ERROR", R"({"message":"No application session"})"};
      return ShellAnswer{"BOOL", *answer ? R"({"value":true})" : R"({"value":false})"};
    };
  };
}

/// An older shell whose location is "APP" for the session search and then, from the
/// `menuFrom`-th query of the test on, "UM" (never when `menuFrom` is 0).
std::function<ShellScript(const std::atomic<Validator*>&)> OlderShellShowingTheMenu(int menuFrom) {
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

const char kStarted[] =
    "Waiting for the application to run for 1 seconds before testing begins...\n"
    "Starting test...\n";

std::string Counters(uint32_t visible, uint32_t notVisible) {
  return "Number of texture swap chains committed when visible " + std::to_string(visible) +
         "\nNumber of texture swap chains committed when not visible " +
         std::to_string(notVisible) + "\n";
}

const char kCleanUp[] = "Cleaning up...\n";

TEST(VisibilityCourse, CommitsWhileVisibleAreCountedWithTheHeadsetOn) {
  const CourseOutcome run = RunCourse(
      {.shell = NewerShell, .onPause = CommitsWhileMeasured({448, 2}), .test = [](Validator& v) {
         return v.TestSubmitFramesWhenVisible();
       }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed, std::string("Starting TestSubmitFramesWhenVisible\n") + kStarted +
                             Counters(448, 2) + kCleanUp + "Test PASSED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 3, run.requests.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"/hardware/set_proximity_sensor true",
                                            "/hardware/set_proximity_sensor false",
                                            "/hardware/set_proximity_sensor false"}));
  // ShutdownTest switches the fake inter-axial distance off after every test.
  EXPECT_EQ(run.settings.back(), "FakeIADEnabled=false");
  // The session search (1 s), the load time (1 s) and the measurement (5 s).
  EXPECT_GE(run.elapsed, 7000ms);
  EXPECT_LT(run.elapsed, 7100ms);
}

TEST(VisibilityCourse, AnApplicationThatCommitsOnlyWhileNotVisibleFailsTheVisibleTest) {
  const CourseOutcome run = RunCourse(
      {.shell = NewerShell, .onPause = CommitsWhileMeasured({0, 450}), .test = [](Validator& v) {
         return v.TestSubmitFramesWhenVisible();
       }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenVisible\n") + kStarted + Counters(0, 450) +
                "ERROR: The application did not commit any texture swap chains\n" +
                GuidelineLine("publish-tarn-app-submission/") + kCleanUp + "Test FAILED\n\n");
}

TEST(VisibilityCourse, ANewerShellTakesTheHeadsetOffAndOneCommitFails) {
  const CourseOutcome run = RunCourse(
      {.shell = NewerShell, .onPause = CommitsWhileMeasured({0, 1}), .test = [](Validator& v) {
         return v.TestSubmitFramesWhenNotVisible();
       }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenNotVisible\n") + kStarted +
                "Simulating HMD removal...\n" + Counters(0, 1) +
                "ERROR: Committed a texture swap chain (called lux_CommitTextureSwapChain) when "
                "application not visible\n" +
                GuidelineLine("sqm-pc-input-1/") + kCleanUp + "Test FAILED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 4, run.requests.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{
                "/life_cycle/get_dash_visibility", "/hardware/set_proximity_sensor false",
                "/life_cycle/request_the_void false", "/hardware/set_proximity_sensor false"}));
  // A second's pause after the headset came off, before the measurement.
  EXPECT_GE(run.elapsed, 8000ms);
  EXPECT_LT(run.elapsed, 8100ms);
}

TEST(VisibilityCourse, AnOlderShellSwitchesToTheMenuAndWaitsUntilItIsShown) {
  const CourseOutcome run =
      RunCourse({.shell = OlderShellShowingTheMenu(3),
                 .onPause = CommitsWhileMeasured({0, 0}),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenNotVisible(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed, std::string("Starting TestSubmitFramesWhenNotVisible\n") + kStarted +
                             "Switching away to UM...\n" + Counters(0, 0) + kCleanUp +
                             "Test PASSED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 7, run.requests.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "/life_cycle/get_dash_visibility", "/life_cycle/get_actual_location",
                      "/life_cycle/request_location", "/life_cycle/get_actual_location",
                      "/life_cycle/get_actual_location", "/life_cycle/request_the_void false",
                      "/hardware/set_proximity_sensor false"}));
  // Two pauses of a second until the menu was reported.
  EXPECT_GE(run.elapsed, 9000ms);
  EXPECT_LT(run.elapsed, 9100ms);
}

TEST(VisibilityCourse, AnOlderShellAlreadyInTheMenuMeasuresAtOnce) {
  const CourseOutcome run =
      RunCourse({.shell = OlderShellShowingTheMenu(1),
                 .onPause = CommitsWhileMeasured({0, 0}),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenNotVisible(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  const std::vector<std::string> tail(run.requests.end() - 4, run.requests.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{
                "/life_cycle/get_actual_location", "/life_cycle/request_location",
                "/life_cycle/request_the_void false", "/hardware/set_proximity_sensor false"}));
  EXPECT_GE(run.elapsed, 7000ms);
  EXPECT_LT(run.elapsed, 7100ms);
}

TEST(VisibilityCourse, AnOlderShellThatNeverShowsTheMenuEndsTheTestAfter30Seconds) {
  const CourseOutcome run =
      RunCourse({.shell = OlderShellShowingTheMenu(0),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenNotVisible(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenNotVisible\n") + kStarted +
                "Switching away to UM...\n"
                "ERROR: The shell did not show the universal menu (UM) within 30 seconds\n" +
                kCleanUp + "Test FAILED\n\n");
  // No measurement, no dash request: the load (2 s), then 30 s of location queries.
  EXPECT_EQ(
      std::count(run.requests.begin(), run.requests.end(), "/life_cycle/request_the_void false"),
      0);
  EXPECT_EQ(std::count(run.requests.begin(), run.requests.end(), "/life_cycle/get_actual_location"),
            1 + 1 + 30);
  EXPECT_GE(run.elapsed, 32000ms);
  EXPECT_LT(run.elapsed, 32100ms);
}

TEST(VisibilityCourse, AFocusAwareApplicationPassesTheDashByCommittingBehindIt) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShellSaysFocusAware(true),
                 .onPause = CommitsWhileMeasured({0, 448}),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenInDash(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed, std::string("Starting TestSubmitFramesWhenInDash\n") + kStarted +
                             "Testing for focus aware app.\nShowing dash...\n" + Counters(0, 448) +
                             kCleanUp + "Test PASSED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 5, run.requests.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "/hardware/set_proximity_sensor true", "/life_cycle/get_focus_aware",
                      "/life_cycle/request_the_void true", "/life_cycle/request_the_void false",
                      "/hardware/set_proximity_sensor false"}));
  EXPECT_GE(run.elapsed, 8000ms);
  EXPECT_LT(run.elapsed, 8100ms);
}

TEST(VisibilityCourse, AFocusAwareApplicationThatStopsUnderTheDashFails) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShellSaysFocusAware(true),
                 .onPause = CommitsWhileMeasured({0, 0}),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenInDash(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenInDash\n") + kStarted +
                "Testing for focus aware app.\nShowing dash...\n" + Counters(0, 0) +
                "ERROR: Focus aware app failed to commit to texture swap chain when dash was "
                "shown.\n" +
                GuidelineLine("sqm-pc-input-9/") + kCleanUp + "Test FAILED\n\n");
}

TEST(VisibilityCourse, WhenTheShellCannotTellTheApplicationIsTestedAsNotFocusAware) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShellSaysFocusAware(std::nullopt),
                 .onPause = CommitsWhileMeasured({0, 448}),
                 .test = [](Validator& v) { return v.TestSubmitFramesWhenInDash(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenInDash\n") + kStarted +
                "Could not determine if app is focus aware. Testing as if app is not focus "
                "aware.\n"
                "Testing for not focus aware app.\nShowing dash...\n" +
                Counters(0, 448) +
                "ERROR: Not focus aware app committed a texture swap chain (called "
                "lux_CommitTextureSwapChain) when dash was shown\n" +
                GuidelineLine("sqm-pc-input-9/") + kCleanUp + "Test FAILED\n\n");
}

TEST(VisibilityCourse, ATransientErrorDuringTheMeasurementEndsTheTestWithoutCounters) {
  auto raised = std::make_shared<bool>(false);
  const auto commitThenFail = CommitsWhileMeasured({0, 5});
  const CourseOutcome run = RunCourse(
      {.shell = NewerShellSaysFocusAware(false),
       .onPause =
           [=](Validator& validator) {
             commitThenFail(validator);
             const bool measuring = validator.WithSessionRecord(
                 [](const ProcessRecord& record) { return record.commitsNotVisible == 5; });
             if (measuring && !*raised) {
               ValidatorTestAccess::TransientError(validator) = true;
               *raised = true;
             }
           },
       .test = [](Validator& v) { return v.TestSubmitFramesWhenInDash(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::TransientError));
  EXPECT_EQ(run.printed,
            std::string("Starting TestSubmitFramesWhenInDash\n") + kStarted +
                "Testing for not focus aware app.\nShowing dash...\n"
                "ERROR: Transient internal error occurred. Please try running the test again.\n"
                "If issue persists after several re-runs, please report it at\n"
                "https://developer.corvia.com/bugs/\n" +
                kCleanUp + "Test FAILED\n\n");
  // The dash stays requested: only the shutdown's proximity request follows.
  EXPECT_EQ(run.requests.back(), "/hardware/set_proximity_sensor false");
  EXPECT_EQ(run.requests[run.requests.size() - 2], "/life_cycle/request_the_void true");
}

}  // namespace
}  // namespace QasValidator
