#include <gtest/gtest.h>

#include "checks/request_judgements.h"
#include "log/validator_log.h"
#include "platform/process_launch.h"
#include "support/child_process.h"
#include "support/telemetry_records.h"
#include "support/validator_course.h"
#include "support/validator_surroundings.h"
#include "support/validator_test_access.h"
#include "support/verdict.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The request-response tests: their verdicts (messages, guideline pages) and their course
// against an in-test shell, with a real application process whose answers are played into the
// session's record, and waits on a fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::CourseOutcome;
using testsupport::GuidelineLine;
using testsupport::JudgeInChild;
using testsupport::RunCourse;
using testsupport::RunInChild;
using testsupport::ShellAnswer;
using testsupport::ShellScript;
using testsupport::Verdict;

Verdict Judge(const std::function<TestResult()>& judgement) {
  return JudgeInChild(judgement, [] { SetVerboseLogging(true); });
}

const std::string kRecenterMissed =
    "ERROR: Failed to receive a call for lux_RecenterTrackingOrigin or "
    "lux_ClearShouldRecenterFlag within 1 second of recentering request\n" +
    GuidelineLine("sqm-pc-input-3/");

TEST(RequestJudgements, TheRecenterRequestMustBeAnsweredWithinASecond) {
  Verdict verdict = Judge([] { return JudgeRecenterWait(0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "Application successfully handled the recentering request\n");
  verdict = Judge([] { return JudgeRecenterWait(kStatusWaitTimeout); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, kRecenterMissed);
  verdict = Judge([] { return JudgeRecenterWait(kStatusTransientError); });
  EXPECT_EQ(verdict.result, TestResult::TransientError);
  EXPECT_EQ(verdict.printed, kRecenterMissed);
  EXPECT_EQ(Judge([] { return JudgeRecenterWait(kStatusApplicationCrashed); }).result,
            TestResult::Failed);
}

TEST(RequestJudgements, TheSessionMustBeDestroyedWithin30SecondsOfTheRequestToQuit) {
  Verdict verdict = Judge([] { return JudgeQuitWait(0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "Application successfully called lux_Destroy on request to quit\n");
  verdict = Judge([] { return JudgeQuitWait(kStatusWaitTimeout); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "ERROR: Failed to receive a call for lux_Destroy on attempt to quit in 30 seconds\n" +
                GuidelineLine("sqm-pc-input-4/"));
}

TEST(RequestJudgements, TwentyRenderDescriptionCallsPerEyeIn10SecondsAreEnough) {
  const Verdict verdict = Judge([] { return JudgeRenderDescriptionCalls({20, 20}); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed,
            "lux_GetRenderDesc call frequency for left eye 0.002000\n"
            "lux_GetRenderDesc call frequency for right eye 0.002000\n"
            "The application is calling lux_GetRenderDesc at least once in 500ms\n");
}

TEST(RequestJudgements, NineteenOnEitherEyeAreTooFew) {
  const std::string tooFew =
      "ERROR: The application is not calling lux_GetRenderDesc at least once in 500ms\n";
  Verdict verdict = Judge([] { return JudgeRenderDescriptionCalls({19, 900}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "lux_GetRenderDesc call frequency for left eye 0.001900\n"
            "lux_GetRenderDesc call frequency for right eye 0.090000\n" +
                tooFew);
  verdict = Judge([] { return JudgeRenderDescriptionCalls({900, 19}); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_TRUE(verdict.printed.ends_with(tooFew)) << verdict.printed;
  EXPECT_EQ(Judge([] { return JudgeRenderDescriptionCalls({0, 0}); }).result, TestResult::Failed);
}

TEST(RequestJudgements, TheRenderPoseMustFollowTheInterAxialDistance) {
  const std::string unchanged =
      "ERROR: The RenderPose in the layer structure passed in lux_SubmitFrame did not change on "
      "change in Inter Axial Distance (IAD)\n";
  Verdict verdict = Judge([] { return JudgeIadChangeWait(0); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed,
            "The application is handling changes in Inter Axial Distance (IAD) correctly\n");
  verdict = Judge([] { return JudgeIadChangeWait(kStatusWaitTimeout); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed, unchanged);
  verdict = Judge([] { return JudgeIadChangeWait(kStatusTransientError); });
  EXPECT_EQ(verdict.result, TestResult::TransientError);
  EXPECT_EQ(verdict.printed, unchanged);
}

// ---- The tests' course ----

ShellScript NewerShell(const std::atomic<Validator*>& validator) {
  return ValidatorTestAccess::NewerShellApplicationInFront(validator);
}

ShellScript OlderShell(const std::atomic<Validator*>& validator) {
  return ValidatorTestAccess::ApplicationInFront(validator);
}

const char kStarted[] =
    "Waiting for the application to run for 1 seconds before testing begins...\n"
    "Starting test...\n";
const char kCleanUp[] = "Cleaning up...\n";

/// Plays an application that clears the recenter flag `delay` after the validator marked the
/// request pending, as the recenter-flag-cleared event does. Time is measured in the pauses of
/// the validator, a millisecond each.
std::function<void(Validator&)> RecentersAfter(std::chrono::milliseconds delay) {
  auto paused = std::make_shared<std::chrono::milliseconds>(-1);
  return [=](Validator& validator) {
    if (validator.SessionPid() == 0) return;
    validator.WithSessionRecord([&](ProcessRecord& record) {
      if (!record.recenterPending) return;
      *paused += 1ms;
      if (*paused >= delay) record.recenterPending = false;
    });
  };
}

TEST(RequestCourse, ARecenterAnsweredInTimePasses) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell, .onPause = RecentersAfter(500ms), .test = [](Validator& v) {
                   return v.TestResponseToRecenterRequest();
                 }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed, std::string("Starting TestResponseToRecenterRequest\n") + kStarted +
                             "Sending a request to recenter...\n"
                             "Application successfully handled the recentering request\n" +
                             kCleanUp + "Test PASSED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 2, run.requests.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"/life_cycle/request_app_should_recenter",
                                            "/hardware/set_proximity_sensor false"}));
  EXPECT_EQ(run.settings.back(), "FakeIADEnabled=false");
  EXPECT_GE(run.elapsed, 2500ms);
  EXPECT_LT(run.elapsed, 2600ms);
}

TEST(RequestCourse, ARecenterAnsweredAfter1Point2SecondsFails) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell, .onPause = RecentersAfter(1200ms), .test = [](Validator& v) {
                   return v.TestResponseToRecenterRequest();
                 }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed, std::string("Starting TestResponseToRecenterRequest\n") + kStarted +
                             "Sending a request to recenter...\n" + kRecenterMissed + kCleanUp +
                             "Test FAILED\n\n");
  EXPECT_GE(run.elapsed, 3000ms);
  EXPECT_LT(run.elapsed, 3100ms);
}

/// Plays an application that destroys its session once the shell passed on the request to
/// quit (`asked`), as its session-destroyed event does, and then ends; before that, a runtime
/// error of the application arrives, which the quit test prints.
std::function<void(Validator&)> DestroysSessionAfter(std::shared_ptr<std::atomic<bool>> asked) {
  auto reported = std::make_shared<bool>(false);
  return [=](Validator& validator) {
    const uint32_t session = validator.SessionPid();
    if (session == 0 || !*asked) return;
    if (!*reported) {
      LUX::Telemetry::TelemetryEvent error =
          testsupport::MakeRecord(LUX::Telemetry::kError, session, 5.0);
      LUX::Telemetry::WritePayload<int32_t, 8>(error, -1005);
      testsupport::WritePayloadText(error, 17, "Invalid parameter");
      LUX::Telemetry::TelemetryEvent* batch[] = {&error};
      validator.OnTelemetryEvents(batch, 1);
      *reported = true;
      return;
    }
    LUX::Telemetry::TelemetryEvent destroyed =
        testsupport::MakeRecord(LUX::Telemetry::kSessionDestroyed, session, 6.0);
    LUX::Telemetry::TelemetryEvent* batch[] = {&destroyed};
    validator.OnTelemetryEvents(batch, 1);
    platform::PostCloseToProcessWindows(session);
  };
}

/// `script`, noting in `asked` when the request `quitPath` arrives.
std::function<ShellScript(const std::atomic<Validator*>&)> NotingTheQuit(
    ShellScript (*script)(const std::atomic<Validator*>&), std::string quitPath,
    std::shared_ptr<std::atomic<bool>> asked) {
  return [=](const std::atomic<Validator*>& validator) -> ShellScript {
    ShellScript inner = script(validator);
    return [=](const std::string& path) {
      if (path == quitPath) *asked = true;
      return inner(path);
    };
  };
}

const char kQuitErrorReport[] = "Telemetry Error Code -1005\nInvalid parameter\n";

TEST(RequestCourse, ANewerShellClosesTheApplication) {
  auto asked = std::make_shared<std::atomic<bool>>(false);
  const CourseOutcome run =
      RunCourse({.shell = NotingTheQuit(NewerShell, "/life_cycle/close_app", asked),
                 .onPause = DestroysSessionAfter(asked),
                 .test = [](Validator& v) { return v.TestAppShouldQuit(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed, std::string("Starting TestAppShouldQuit\n") + kStarted +
                             "Sending a request to quit...\n" + kQuitErrorReport +
                             "Application successfully called lux_Destroy on request to quit\n" +
                             kCleanUp + "Test PASSED\n\n");
  const std::vector<std::string> tail(run.requests.end() - 3, run.requests.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{"/life_cycle/get_dash_visibility", "/life_cycle/close_app",
                                      "/hardware/set_proximity_sensor false"}));
}

TEST(RequestCourse, AnOlderShellAsksThroughTheClosePrompt) {
  auto asked = std::make_shared<std::atomic<bool>>(false);
  const CourseOutcome run =
      RunCourse({.shell = NotingTheQuit(OlderShell, "/life_cycle/prompt_response", asked),
                 .onPause = DestroysSessionAfter(asked),
                 .test = [](Validator& v) { return v.TestAppShouldQuit(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  const std::vector<std::string> tail(run.requests.end() - 4, run.requests.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "/life_cycle/get_dash_visibility", "/life_cycle/request_location",
                      "/life_cycle/prompt_response", "/hardware/set_proximity_sensor false"}));
}

TEST(RequestCourse, AnApplicationThatIgnoresTheRequestToQuitFailsAfter30Seconds) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell, .test = [](Validator& v) { return v.TestAppShouldQuit(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestAppShouldQuit\n") + kStarted +
                "Sending a request to quit...\n"
                "ERROR: Failed to receive a call for lux_Destroy on attempt to quit in 30 "
                "seconds\n" +
                GuidelineLine("sqm-pc-input-4/") + kCleanUp + "Test FAILED\n\n");
  EXPECT_GE(run.elapsed, 32000ms);
  EXPECT_LT(run.elapsed, 32100ms);
}

/// Plays the application's render descriptions: `calls` fetches per eye while the validator
/// counts them (the counters start at a value no reset leaves), and, once the runtime has taken
/// the fake inter-axial distance, an eye pose that changes and, when `poseFollows`, a render
/// pose that follows it.
std::function<void(Validator&)> RenderDescriptions(std::array<uint32_t, 2> calls,
                                                   bool poseFollows) {
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
        record.renderPoseChanged = poseFollows;
        *stage = 3;
      }
    });
  };
}

const char kFrequent[] = "The application is calling lux_GetRenderDesc at least once in 500ms\n";

TEST(RequestCourse, ARenderPoseThatFollowsTheInterAxialDistancePasses) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell,
                 .onPause = RenderDescriptions({20, 900}, true),
                 .test = [](Validator& v) { return v.TestResponseToIadChanges(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestResponseToIadChanges\n") + kStarted + kFrequent +
                "The application is handling changes in Inter Axial Distance (IAD) correctly\n" +
                kCleanUp + "Test PASSED\n\n");
  // The test switches the fake distance off, and so does ShutdownTest.
  const std::vector<std::string> tail(run.settings.end() - 5, run.settings.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"FakeIADEnabled=true", "FakeIAD=0.065", "FakeIAD=0.07",
                                            "FakeIADEnabled=false", "FakeIADEnabled=false"}));
  // The count (10 s) after the session search and the load (2 s).
  EXPECT_GE(run.elapsed, 12000ms);
  EXPECT_LT(run.elapsed, 12100ms);
}

TEST(RequestCourse, TooFewRenderDescriptionsEndTheTestBeforeTheDistanceChanges) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell,
                 .onPause = RenderDescriptions({19, 900}, true),
                 .test = [](Validator& v) { return v.TestResponseToIadChanges(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestResponseToIadChanges\n") + kStarted +
                "ERROR: The application is not calling lux_GetRenderDesc at least once in "
                "500ms\n" +
                kCleanUp + "Test FAILED\n\n");
  ASSERT_EQ(run.settings.size(), 2u);
  EXPECT_EQ(run.settings[1], "FakeIADEnabled=false");  // ShutdownTest's
}

TEST(RequestCourse, AFixedRenderPoseFailsAfterASecond) {
  const CourseOutcome run =
      RunCourse({.shell = NewerShell,
                 .onPause = RenderDescriptions({900, 900}, false),
                 .test = [](Validator& v) { return v.TestResponseToIadChanges(); }});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.printed,
            std::string("Starting TestResponseToIadChanges\n") + kStarted + kFrequent +
                "ERROR: The RenderPose in the layer structure passed in lux_SubmitFrame did not "
                "change on change in Inter Axial Distance (IAD)\n" +
                kCleanUp + "Test FAILED\n\n");
  const std::vector<std::string> tail(run.settings.end() - 4, run.settings.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"FakeIADEnabled=true", "FakeIAD=0.065", "FakeIAD=0.07",
                                            "FakeIADEnabled=false"}));
  EXPECT_GE(run.elapsed, 13000ms);
  EXPECT_LT(run.elapsed, 13100ms);
}

TEST(FakeIadSettings, TheRuntimesRefusalIsAnInternalError) {
  const auto run = RunInChild([] {
    testsupport::ValidatorSurroundings surroundings(testsupport::ShellService::OkToEverything,
                                                    false);
    Validator validator;
    const bool taken = validator.SetFakeIadEnabled(true) || validator.SetFakeIad(0.065f) ||
                       validator.SetFakeIadEnabled(false);
    const std::vector<std::string> calls = surroundings.settings.Calls();
    return !taken && calls == std::vector<std::string>{"FakeIADEnabled=true", "FakeIAD=0.065",
                                                       "FakeIADEnabled=false"}
               ? 0
               : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  const std::string reason =
      "\n\tLUX Error Code: -1004\n\tError String: lux_Initialize never called\n";
  EXPECT_EQ(run.out, "ERROR: INTERNAL ERROR: Failed to enable fake IAD." + reason +
                         "ERROR: INTERNAL ERROR: Failed to set fake IAD." + reason +
                         "ERROR: INTERNAL ERROR: Failed to disable fake IAD." + reason);
}

}  // namespace
}  // namespace QasValidator
