#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "checks/sdk_judgements.h"
#include "support/telemetry_records.h"
#include "support/validator_course.h"
#include "support/validator_test_access.h"
#include "support/verdict.h"
#include "support/version_report.h"
#include "validator/status_codes.h"
#include "validator/validator.h"
#include "validator/version.h"

// TestSdkVersion: its verdicts on the SDK version and the engine (messages, guideline pages,
// usage events) and its course against an in-test shell, with a real application process whose
// reports are played into the validator's event handling, and waits on a fake clock.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::CourseOutcome;
using testsupport::GuidelineLine;
using testsupport::RunCourse;
using testsupport::SdkVersionLines;
using testsupport::Verdict;
using testsupport::WithoutProcessIds;

const std::string kPage1 = GuidelineLine("sqm-pc-sdk-2/");
const std::string kPage2 = GuidelineLine("sqm-pc-sdk-3/");
const std::string kPage3 = GuidelineLine("sqm-pc-sdk-4/");

// Runs a judgement in a child process that prints the usage events it sends.
Verdict Judge(const std::function<TestResult()>& judgement) {
  return testsupport::JudgeRecordingTelemetry(judgement);
}

Verdict JudgeEngineOf(const std::string& name, const std::string& version,
                      const std::string& pluginVersion = "1.43.0") {
  return Judge([=] {
    return JudgeEngine(EngineIdentification{name, version, "LUXPlugin", pluginVersion});
  });
}

/// The usage events of an engine's identification.
std::string EngineActions(const std::string& name, const std::string& version) {
  return "[telemetry] user_action=Validator_action_TestSdkVersion_EngineName; "
         "user_action_param=" +
         name +
         "\n[telemetry] user_action=Validator_action_TestSdkVersion_EngineVersion; "
         "user_action_param=" +
         version + "\n";
}

std::string Unsupported(const std::string& name) {
  return "Warning: The application is built against an unsupported " + name + " version\n";
}

TEST(SdkJudgement, AnSdkOlderThan118Fails) {
  Verdict verdict = Judge([] { return JudgeSdkVersion(10107); });
  EXPECT_EQ(verdict.result, TestResult::Failed);
  EXPECT_EQ(verdict.printed,
            "ERROR: The application is built against an older SDK version\n" + kPage1);
  EXPECT_EQ(Judge([] { return JudgeSdkVersion(0); }).result, TestResult::Failed);
  EXPECT_EQ(Judge([] { return JudgeSdkVersion(-5); }).result, TestResult::Failed);
}

TEST(SdkJudgement, From118UpTheTestGoesOnSilently) {
  for (const int32_t version : {10108, 10143, 20000}) {
    const Verdict verdict = Judge([=] { return JudgeSdkVersion(version); });
    EXPECT_EQ(verdict.result, TestResult::Passed) << version;
    EXPECT_EQ(verdict.printed, "") << version;
  }
}

TEST(SdkJudgement, AMissingSdkVersionSkipsTheTestUnlessTheRuntimeFailedTransiently) {
  Verdict verdict = Judge([] { return ReportMissingSdkVersion(kStatusWaitTimeout); });
  EXPECT_EQ(verdict.result, TestResult::Skipped);
  EXPECT_EQ(verdict.printed, "Unable to get client SDK version.\n");
  EXPECT_EQ(Judge([] { return ReportMissingSdkVersion(kStatusApplicationCrashed); }).result,
            TestResult::Skipped);
  verdict = Judge([] { return ReportMissingSdkVersion(kStatusTransientError); });
  EXPECT_EQ(verdict.result, TestResult::TransientError);
  EXPECT_EQ(verdict.printed, "Unable to get client SDK version.\n");
}

TEST(EngineJudgement, NoEngineIdentificationPassesWithoutAWord) {
  const Verdict verdict = Judge([] { return JudgeEngine(std::nullopt); });
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, "");
}

TEST(EngineJudgement, SupportedUnityVersionsPassSilently) {
  for (const char* version : {"5.6.4", "2019.4.1f1", "5.7.0b3"}) {
    const Verdict verdict = JudgeEngineOf("Unity", version);
    EXPECT_EQ(verdict.result, TestResult::Passed);
    EXPECT_EQ(verdict.printed, EngineActions("Unity", version)) << version;
  }
}

TEST(EngineJudgement, OldOrUnparsableUnityVersionsAreWarnedAboutWithPage2) {
  for (const char* version : {"5.6.3p2", "5.6", "", "unknown"}) {
    const Verdict verdict = JudgeEngineOf("Unity", version);
    EXPECT_EQ(verdict.result, TestResult::Passed);
    EXPECT_EQ(verdict.printed, EngineActions("Unity", version) + Unsupported("Unity") + kPage2)
        << version;
  }
}

TEST(EngineJudgement, UnrealEngineNeedsMajorAndMinorOf412AndCitesPage3) {
  for (const char* version : {"4.12.0", "4.12.9", "4.27.2"}) {
    const Verdict verdict = JudgeEngineOf("UnrealEngine", version);
    EXPECT_EQ(verdict.result, TestResult::Passed);
    EXPECT_EQ(verdict.printed, EngineActions("UnrealEngine", version)) << version;
  }
  for (const char* version : {"4.11.2", "4.12"}) {
    const Verdict verdict = JudgeEngineOf("UnrealEngine", version);
    EXPECT_EQ(verdict.result, TestResult::Passed);
    EXPECT_EQ(verdict.printed,
              EngineActions("UnrealEngine", version) + Unsupported("UnrealEngine") + kPage3)
        << version;
  }
}

TEST(EngineJudgement, AnUndetectedUnityVersionIsReportedWhateverThePlugIn) {
  for (const char* plugin : {"1.43.0", "1.0.0", ""}) {
    const Verdict verdict = JudgeEngineOf("Unity", "0.0.0", plugin);
    EXPECT_EQ(verdict.result, TestResult::Passed);
    EXPECT_EQ(verdict.printed, EngineActions("Unity", "0.0.0") +
                                   "Can't detect Unity version.\n"
                                   "Please make sure that app is built using supported Unity "
                                   "engine\n" +
                                   kPage2)
        << plugin;
  }
}

TEST(EngineJudgement, AnOldPlugInIsWarnedAboutForUnityWithUE4InItsVersion) {
  const Verdict verdict = JudgeEngineOf("Unity", "2019.4.1 UE4", "1.22.0");
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed,
            EngineActions("Unity", "2019.4.1 UE4") +
                "Warning: The application is built with an old LUXPlugin version 1.22.0.\n" +
                kPage3);
  // The plug-in warning comes instead of the one about an unsupported version.
  EXPECT_EQ(JudgeEngineOf("Unity", "5.0.0UE4", "1.22.0").printed,
            EngineActions("Unity", "5.0.0UE4") +
                "Warning: The application is built with an old LUXPlugin version 1.22.0.\n" +
                kPage3);
  // A current plug-in leaves the version check.
  EXPECT_EQ(JudgeEngineOf("Unity", "5.0.0UE4", "1.23.0").printed,
            EngineActions("Unity", "5.0.0UE4") + Unsupported("Unity") + kPage2);
}

TEST(EngineJudgement, OtherEnginesPassWithoutAWord) {
  const Verdict verdict = JudgeEngineOf("MyEngine", "0.1", "0.0.1");
  EXPECT_EQ(verdict.result, TestResult::Passed);
  EXPECT_EQ(verdict.printed, EngineActions("MyEngine", "0.1"));
  // Names are compared exactly.
  EXPECT_EQ(JudgeEngineOf("unity", "5.0.0").printed, EngineActions("unity", "5.0.0"));
  EXPECT_EQ(JudgeEngineOf("Unreal Engine", "4.0.0").printed,
            EngineActions("Unreal Engine", "4.0.0"));
}

TEST(PluginVersion, IsOldOnlyForUnityWithUE4AndAPlugInBelow1230) {
  EXPECT_TRUE(Validator::IsPluginVersionOld("Unity", "UE4", "LUXPlugin", "1.22.0"));
  EXPECT_TRUE(Validator::IsPluginVersionOld("Unity", "2018.UE4.x", "", "0.9.9rc"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity", "UE4", "LUXPlugin", "1.23.0"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity", "UE", "LUXPlugin", "1.22.0"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity", "ue4", "LUXPlugin", "1.22.0"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("UnrealEngine", "4.27 UE4", "LUXPlugin", "1.22.0"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity ", "UE4", "LUXPlugin", "1.22.0"));
  // A plug-in version that does not parse is not taken for an old one.
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity", "UE4", "LUXPlugin", "1.22"));
  EXPECT_FALSE(Validator::IsPluginVersionOld("Unity", "UE4", "LUXPlugin", ""));
}

// ---- The test's course ----

testsupport::ShellScript NewerShell(const std::atomic<Validator*>& validator) {
  return ValidatorTestAccess::NewerShellApplicationInFront(validator);
}

struct Reports {
  /// The minor version of SDK 1.1.x that the application reports; none when it reports none.
  std::optional<uint32_t> sdkMinor = std::nullopt;
  /// The engine it identifies, this many pauses (a millisecond each) after the SDK version.
  std::optional<EngineIdentification> engine = std::nullopt;
  int engineAfterPauses = 0;
  /// The runtime raises its transient internal error, this many pauses after the session.
  std::optional<int> transientErrorAfterPauses = std::nullopt;
};

/// Plays the runtime's reports about the application once its session is known.
std::function<void(Validator&)> Reporting(Reports reports) {
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
      event = testsupport::ClientConnectInfo(session, 1, 1, *reports.sdkMinor);
    } else if (pause == reports.engineAfterPauses + 1 && reports.engine) {
      const EngineIdentification& engine = *reports.engine;
      event = testsupport::EngineEvent(session, engine.engineName, engine.engineVersion,
                                       engine.enginePluginName, engine.enginePluginVersion);
    } else {
      return;
    }
    LUX::Telemetry::TelemetryEvent* batch[] = {&event};
    validator.OnTelemetryEvents(batch, 1);
  };
}

CourseOutcome RunSdkCourse(const Reports& reports) {
  return RunCourse({.shell = NewerShell, .onPause = Reporting(reports), .test = [](Validator& v) {
                      return v.TestSdkVersion();
                    }});
}

const char kStarted[] = "Starting TestSdkVersion\n";
const char kCleanUp[] = "Cleaning up...\n";
/// The fake time the set-up takes to find the application's session.
constexpr std::chrono::milliseconds kSessionSearch = 1000ms;

TEST(SdkCourse, NoSdkVersionWithinFiveSecondsSkipsTheTest) {
  const CourseOutcome run = RunSdkCourse({});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Skipped));
  EXPECT_EQ(run.printed, std::string(kStarted) + "Unable to get client SDK version.\n" + kCleanUp +
                             "Test SKIPPED\n\n");
  EXPECT_GE(run.elapsed, kSessionSearch + 5000ms);
  EXPECT_LT(run.elapsed, kSessionSearch + 5100ms);
}

TEST(SdkCourse, AnOldSdkFailsWithoutWaitingForTheEngine) {
  const CourseOutcome run =
      RunSdkCourse({.sdkMinor = 7,
                    .engine = EngineIdentification{"Unity", "2019.4.1f1", "LUXPlugin", "1.43.0"}});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(WithoutProcessIds(run.printed),
            std::string(kStarted) + SdkVersionLines("1.7") +
                "ERROR: The application is built against an older SDK version\n" + kPage1 +
                kCleanUp + "Test FAILED\n\n");
  EXPECT_LT(run.elapsed, kSessionSearch + 100ms);
}

TEST(SdkCourse, AnIdentifiedEngineIsPrintedAndJudged) {
  const CourseOutcome run =
      RunSdkCourse({.sdkMinor = 8,
                    .engine = EngineIdentification{"Unity", "5.6.3p2", "LUXPlugin", "1.43.0"},
                    .engineAfterPauses = 2000});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(WithoutProcessIds(run.printed),
            std::string(kStarted) + SdkVersionLines("1.8") +
                testsupport::EngineIdentificationLines("Unity", "5.6.3p2", "LUXPlugin", "1.43.0") +
                Unsupported("Unity") + kPage2 + kCleanUp + "Test PASSED\n\n");
  EXPECT_GE(run.elapsed, kSessionSearch + 2000ms);
  EXPECT_LT(run.elapsed, kSessionSearch + 2100ms);
}

TEST(SdkCourse, WithoutAnEngineIdentificationTheTestPassesAfterTenSeconds) {
  const CourseOutcome run = RunSdkCourse({.sdkMinor = 43});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::Passed));
  EXPECT_EQ(WithoutProcessIds(run.printed),
            std::string(kStarted) + SdkVersionLines("1.43") + kCleanUp + "Test PASSED\n\n");
  EXPECT_GE(run.elapsed, kSessionSearch + 10000ms);
  EXPECT_LT(run.elapsed, kSessionSearch + 10100ms);
}

const std::string kTransientError =
    std::string(
        "ERROR: Transient internal error occurred. Please try running the test again.\n"
        "If issue persists after several re-runs, please report it at\n") +
    BugReportUrl + "\n";

TEST(SdkCourse, ATransientErrorWhileWaitingForTheSdkVersionIsTransient) {
  const CourseOutcome run = RunSdkCourse({.transientErrorAfterPauses = 100});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::TransientError));
  EXPECT_EQ(run.printed, kStarted + kTransientError + "Unable to get client SDK version.\n" +
                             kCleanUp + "Test FAILED\n\n");
}

TEST(SdkCourse, ATransientErrorWhileWaitingForTheEngineEndsTheTestWithoutAMessageOfItsOwn) {
  const CourseOutcome run = RunSdkCourse({.sdkMinor = 43, .transientErrorAfterPauses = 100});
  EXPECT_EQ(run.result, static_cast<int>(TestResult::TransientError));
  EXPECT_EQ(WithoutProcessIds(run.printed),
            kStarted + SdkVersionLines("1.43") + kTransientError + kCleanUp + "Test FAILED\n\n");
  EXPECT_LT(run.elapsed, kSessionSearch + 200ms);
}

}  // namespace
}  // namespace QasValidator
