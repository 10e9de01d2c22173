#include <gtest/gtest.h>

#include "checks/sdk_judgements.h"
#include "event_records.h"
#include "support/console_lines.h"
#include "support/validator_course.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// TestSdkVersion: its verdicts on the SDK version and the engine (messages, guideline pages,
// usage events), and its course against an in-test shell, with a real application process whose
// reports are played into the validator's event handling, and waits on a fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::GuidelineLine;
using testsupport::SdkVersionLines;

const std::string kOlderSdk = "ERROR: The application is built against an older SDK version\n" +
                              GuidelineLine("sqm-pc-sdk-2/");
const std::string kNoSdkVersion = "Unable to get client SDK version.\n";
const std::string kPage2 = GuidelineLine("sqm-pc-sdk-3/");
const std::string kPage3 = GuidelineLine("sqm-pc-sdk-4/");

std::string Unsupported(const std::string& name, const std::string& page) {
  return "Warning: The application is built against an unsupported " + name + " version\n" + page;
}
const std::string kOldPlugin =
    "Warning: The application is built with an old LUXPlugin version 1.22.0.\n" + kPage3;
const std::string kUndetectedUnity =
    "Can't detect Unity version.\nPlease make sure that app is built using supported Unity "
    "engine\n" +
    kPage2;

// A version missing after the wait or after a transient error: SdkCourse.
TEST(SdkJudgement, AnSdkFrom118UpGoesOnSilentlyAndAMissingOneSkips) {
  const testsupport::JudgementCase cases[] = {
      {[] { return JudgeSdkVersion(10107); }, TestResult::Failed, kOlderSdk},
      {[] { return JudgeSdkVersion(10108); }, TestResult::Passed, ""},
      {[] { return ReportMissingSdkVersion(kStatusApplicationCrashed); }, TestResult::Skipped,
       kNoSdkVersion},
      {[] { return JudgeEngine(std::nullopt); }, TestResult::Passed, ""},
  };
  testsupport::ExpectJudgements(cases, testsupport::JudgementOutput::kTelemetry);
}

// How versions parse and compare: EngineVersionParse and EngineVersionCompare. Unity 5.6.3p2,
// below its minimum: SdkVersionE2E.
TEST(EngineJudgement, UnityAndUnrealAreWarnedAboutBelowTheirMinimumsOtherEnginesPass) {
  const struct {
    std::string name, version, pluginVersion, warning;
  } cases[] = {
      {"Unity", "5.6.4", "1.43.0", ""},
      {"Unity", "5.6", "1.43.0", Unsupported("Unity", kPage2)},
      {"UnrealEngine", "4.12.0", "1.43.0", ""},
      {"UnrealEngine", "4.11.2", "1.43.0", Unsupported("UnrealEngine", kPage3)},
      {"UnrealEngine", "4.12", "1.43.0", Unsupported("UnrealEngine", kPage3)},
      // An undetected Unity version is reported whatever the plug-in.
      {"Unity", "0.0.0", "1.43.0", kUndetectedUnity},
      // An old plug-in of a Unity version with "UE4" in it comes instead of the version check.
      {"Unity", "2019.4.1 UE4", "1.22.0", kOldPlugin},
      {"Unity", "5.0.0UE4", "1.23.0", Unsupported("Unity", kPage2)},
      // No old plug-in without "UE4" in the version, outside Unity, or without its version.
      {"Unity", "2019.4.1 ue4", "1.22.0", ""},
      {"UnrealEngine", "4.27.0 UE4", "1.22.0", ""},
      {"Unity", "2019.4.1 UE4", "1.22", ""},
      // Names are compared exactly.
      {"MyEngine", "0.1", "0.0.1", ""},
      {"unity", "5.0.0", "1.43.0", ""},
  };
  for (const auto& c : cases) {
    const EngineIdentification engine{c.name, c.version, "LUXPlugin", c.pluginVersion};
    testsupport::ExpectJudgement([engine] { return JudgeEngine(engine); }, TestResult::Passed,
                                 "[telemetry] user_action=Validator_action_TestSdkVersion_"
                                 "EngineName; user_action_param=" +
                                     c.name +
                                     "\n[telemetry] user_action=Validator_action_TestSdkVersion_"
                                     "EngineVersion; user_action_param=" +
                                     c.version + "\n" + c.warning,
                                 testsupport::JudgementOutput::kTelemetry,
                                 c.name + " " + c.version);
  }
}

/// The runtime's reports about the application once its session is known.
struct Reports {
  /// The minor version of SDK 1.1.x that the application reports; none when it reports none.
  std::optional<uint32_t> sdkMinor = std::nullopt;
  /// The engine it identifies, a pause (a millisecond) after the SDK version.
  std::optional<luxsim::EngineIdentity> engine = std::nullopt;
  /// The runtime raises its transient internal error, this many pauses after the session.
  std::optional<int> transientErrorAfterPauses = std::nullopt;
};

FrontApplicationRig::PauseHook Reporting(Reports reports) {
  auto pauses = std::make_shared<int>(0);
  return [=](Validator& validator) {
    const uint32_t session = validator.SessionPid();
    if (session == 0) return;
    const int pause = (*pauses)++;
    if (pause == reports.transientErrorAfterPauses) {
      ValidatorTestAccess::TransientError(validator) = true;
    }
    LUX::Telemetry::TelemetryEvent event;
    if (pause == 0 && reports.sdkMinor) {
      event = luxsim::records::ClientConnectInfoEvent(
          session, 43, {.product = 1, .major = 1, .minor = *reports.sdkMinor}, 5.0);
    } else if (pause == 1 && reports.engine) {
      event = luxsim::records::EngineIdentificationEvent(session, *reports.engine, 5.0);
    } else {
      return;
    }
    ValidatorTestAccess::Deliver(validator, {event});
  };
}

TEST(SdkCourse, TheSdkVersionIsAwaitedFiveSecondsAndTheEngineTen) {
  // The set-up finds the application's session after a second.
  const std::pair<Reports, testsupport::CourseExpectation> cases[] = {
      {{}, {TestResult::Skipped, kNoSdkVersion, {}, {}, 6000ms}},
      // An old SDK fails without waiting for the engine.
      {{.sdkMinor = 7, .engine = luxsim::EngineIdentity{"Unity", "2019.4.1f1", "LUXPlugin", "1"}},
       {TestResult::Failed, SdkVersionLines("1.7") + kOlderSdk, {}, {}, 1000ms}},
      {{.sdkMinor = 43}, {TestResult::Passed, SdkVersionLines("1.43"), {}, {}, 11000ms}},
      {{.transientErrorAfterPauses = 100},
       {TestResult::TransientError, testsupport::kTransientErrorLines + kNoSdkVersion}},
      // A transient error while the engine is awaited ends the test without a message of its own.
      {{.sdkMinor = 43, .transientErrorAfterPauses = 100},
       {TestResult::TransientError,
        SdkVersionLines("1.43") + testsupport::kTransientErrorLines,
        {},
        {},
        1100ms}},
  };
  for (const auto& [reports, expected] : cases) {
    SCOPED_TRACE(expected.printed);
    testsupport::ExpectCourse(
        {"TestSdkVersion", ValidatorTestAccess::NewerShellApplicationInFront, Reporting(reports)},
        expected);
  }
}

}  // namespace
}  // namespace QasValidator
