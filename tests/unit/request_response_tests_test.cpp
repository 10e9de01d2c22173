#include <gtest/gtest.h>

#include "checks/request_judgements.h"
#include "event_records.h"
#include "log/validator_log.h"
#include "platform/process_launch.h"
#include "support/child_process.h"
#include "support/validator_course.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The request-response tests: their verdicts, and their course against an in-test shell, with a
// real application process whose answers are played into the session's record, and waits on a
// fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::Course;
using testsupport::CourseExpectation;
using testsupport::kBegunAfterLoad;
using testsupport::kDestroyedLine, testsupport::kQuitMissedLines, testsupport::kQuitSentLine;
using testsupport::kFrequentRenderDescLine, testsupport::kPoseFixedLine;
using testsupport::kRecenterMissedLines, testsupport::kRecenterSentLine;

const std::string kTooFew =
    "ERROR: The application is not calling lux_GetRenderDesc at least once in 500ms\n";

std::string Frequencies(const std::string& left, const std::string& right) {
  return "lux_GetRenderDesc call frequency for left eye " + left +
         "\nlux_GetRenderDesc call frequency for right eye " + right + "\n";
}

std::array<uint32_t, 2> Calls(uint32_t left, uint32_t right) { return {left, right}; }

// The plain passes and time-outs of the waits are judged in the courses below.
TEST(RequestJudgements, EachWaitAndCountIsJudgedWithItsMessage) {
  const testsupport::JudgementCase cases[] = {
      {[] { return JudgeRecenterWait(kStatusTransientError); }, TestResult::TransientError,
       kRecenterMissedLines},
      // Twenty calls per eye in 10 s are enough; nineteen on either eye are too few.
      {[] { return JudgeRenderDescriptionCalls(Calls(20, 20)); }, TestResult::Passed,
       Frequencies("0.002000", "0.002000") + kFrequentRenderDescLine},
      {[] { return JudgeRenderDescriptionCalls(Calls(19, 900)); }, TestResult::Failed,
       Frequencies("0.001900", "0.090000") + kTooFew},
      {[] { return JudgeRenderDescriptionCalls(Calls(900, 19)); }, TestResult::Failed,
       Frequencies("0.090000", "0.001900") + kTooFew},
      {[] { return JudgeIadChangeWait(kStatusTransientError); }, TestResult::TransientError,
       kPoseFixedLine},
  };
  testsupport::ExpectJudgements(cases, testsupport::JudgementOutput::kVerbose);
}

/// Plays an older shell and an application that destroys its session once the shell passed on
/// the request to quit through its prompt, as its session-destroyed event does, and then ends.
/// Before that, a runtime error of the application arrives, which the quit test prints.
std::pair<FrontApplicationRig::ShellFactory, FrontApplicationRig::PauseHook>
OlderShellQuitThroughThePrompt() {
  auto asked = std::make_shared<std::atomic<bool>>(false);
  auto reported = std::make_shared<bool>(false);
  auto noting = [=](const std::atomic<Validator*>& validator) -> testsupport::ShellScript {
    testsupport::ShellScript inner = ValidatorTestAccess::ApplicationInFront(validator);
    return [=](const std::string& path) {
      if (path == "/life_cycle/prompt_response") *asked = true;
      return inner(path);
    };
  };
  auto destroying = [=](Validator& validator) {
    const uint32_t session = validator.SessionPid();
    if (session == 0 || !*asked) return;
    if (!std::exchange(*reported, true)) {
      return ValidatorTestAccess::Deliver(
          validator,
          {luxsim::records::RuntimeErrorEvent(session, -1005, "Invalid parameter", false, 5)});
    }
    ValidatorTestAccess::Deliver(
        validator, {luxsim::records::ProcessEvent(LUX::Telemetry::kSessionDestroyed, session, 6)});
    platform::PostCloseToProcessWindows(session);
  };
  return {noting, destroying};
}

/// Plays the application's render descriptions: `calls` fetches per eye while the validator
/// counts them (the counters start at a value no reset leaves), and, once the runtime has taken
/// the fake inter-axial distance, an eye pose that changes without a render pose that follows it.
FrontApplicationRig::PauseHook RenderDescriptions(std::array<uint32_t, 2> calls) {
  auto stage = std::make_shared<int>(0);  // 0 unseeded, 1 seeded, 2 counted, 3 changed
  return [=](Validator& validator) {
    if (validator.SessionPid() == 0 || *stage == 3) return;
    validator.WithSessionRecord([&](ProcessRecord& record) {
      if (*stage == 0) {
        record.renderDescCalls = {999999, 999999};
        record.renderDescChanged = record.renderPoseChanged = true;
        *stage = 1;
      } else if (*stage == 1 && record.renderDescCalls == std::array<uint32_t, 2>{0, 0}) {
        record.renderDescCalls = calls;
        *stage = 2;
      } else if (*stage == 2 && !record.renderDescChanged) {
        // The flags were cleared before the inter-axial distance changed.
        record.renderDescChanged = true;
        record.renderPoseChanged = false;
        *stage = 3;
      }
    });
  };
}

TEST(RequestCourse, EachRequestGoesOutAndItsAnswerIsAwaitedForItsTime) {
  const char kRecenter[] = "TestResponseToRecenterRequest";
  const char kQuit[] = "TestAppShouldQuit";
  const char kIad[] = "TestResponseToIadChanges";
  const char kOff[] = "/hardware/set_proximity_sensor false";
  const std::string kErrorReport = "Telemetry Error Code -1005\nInvalid parameter\n";
  const auto [olderShell, prompted] = OlderShellQuitThroughThePrompt();
  const std::pair<Course, CourseExpectation> cases[] = {
      // An answer that never comes; one after 1.2 s: RequestResponseE2E.
      {{kRecenter},
       {TestResult::Failed,
        kBegunAfterLoad + kRecenterSentLine + kRecenterMissedLines,
        {"/life_cycle/request_app_should_recenter", kOff},
        {},
        3000ms}},
      {{kQuit, olderShell, prompted},
       {TestResult::Passed,
        kBegunAfterLoad + kQuitSentLine + kErrorReport + kDestroyedLine,
        {"/life_cycle/get_dash_visibility", "/life_cycle/request_location",
         "/life_cycle/prompt_response", kOff}}},
      {{kQuit},
       {TestResult::Failed, kBegunAfterLoad + kQuitSentLine + kQuitMissedLines, {}, {}, 32000ms}},
      // The end of the process is no answer, only the end of its session:
      // RequestResponseE2E.AnApplicationThatCrashesUnnoticedOnTheQuitRequestFails.
      // The count (10 s) after the session search and the load (2 s), then a second for the
      // render pose.
      {{kIad, ValidatorTestAccess::NewerShellApplicationInFront, RenderDescriptions({900, 900})},
       {TestResult::Failed,
        kBegunAfterLoad + kFrequentRenderDescLine + kPoseFixedLine,
        {},
        // The fake distance goes on, is changed twice, and is switched off.
        {"FakeIADEnabled=true", "FakeIAD=0.065", "FakeIAD=0.07", "FakeIADEnabled=false"},
        13000ms}},
  };
  for (const auto& [course, expected] : cases) {
    SCOPED_TRACE(course.test + " " + expected.printed);
    testsupport::ExpectCourse(course, expected);
  }
  // Too few render descriptions end the test before the distance changes:
  // RequestResponseE2E.NineteenRenderDescriptionsInTenSecondsFailTheFrequency.
}

TEST(FakeIadSettings, TheRuntimesRefusalIsAnInternalError) {
  const testsupport::ChildOutcome run = testsupport::ExpectInChild([] {
    testsupport::ValidatorSurroundings surroundings(testsupport::ShellService::OkToEverything,
                                                    false);
    Validator validator;
    EXPECT_FALSE(validator.SetFakeIadEnabled(true));
    EXPECT_FALSE(validator.SetFakeIad(0.065f));
    EXPECT_FALSE(validator.SetFakeIadEnabled(false));
    EXPECT_EQ(
        surroundings.settings.Calls(),
        (std::vector<std::string>{"FakeIADEnabled=true", "FakeIAD=0.065", "FakeIADEnabled=false"}));
  });
  const std::string reason =
      "\n\tLUX Error Code: -1004\n\tError String: lux_Initialize never called\n";
  EXPECT_EQ(run.out, "ERROR: INTERNAL ERROR: Failed to enable fake IAD." + reason +
                         "ERROR: INTERNAL ERROR: Failed to set fake IAD." + reason +
                         "ERROR: INTERNAL ERROR: Failed to disable fake IAD." + reason);
}

}  // namespace
}  // namespace QasValidator
