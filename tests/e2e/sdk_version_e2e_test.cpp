// TestSdkVersion end to end: the validator binary reads the SDK version and the engine that the
// sample application reports to the runtime, on a fresh simulated machine without the
// health-and-safety warning (so that no line about it falls among the version lines, which
// arrive while the session is being looked for). The console lines are compared exactly, with
// the process ids left out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"
#include "support/console_lines.h"

namespace e2e {
namespace {

using testsupport::EngineIdentificationLines;
using testsupport::SdkVersionLines;
using testsupport::WithoutProcessIds;

const char kTest[] = "TestSdkVersion";
const char kStarted[] = "Starting TestSdkVersion\n";
const std::vector<std::string> kNoWarning = {"--service-option", "--no-hsw"};

/// The sample application's switches that report an engine with the plug-in LUXPlugin 1.43.0.
std::vector<std::string> Engine(const std::string& name, const std::string& version) {
  return {"--engine-name",        name,        "--engine-version",        version,
          "--engine-plugin-name", "LUXPlugin", "--engine-plugin-version", "1.43.0"};
}

CommandOutcome RunSdkTest(const std::vector<std::string>& switches) {
  return RunValidator({"--test", kTest}, switches, kNoWarning);
}

/// What the test prints for an application that reports SDK 1.1.`sdkMinor` and an engine
/// named `engine` of `version` (plug-in LUXPlugin 1.43.0): the version lines, then `verdict` and
/// the result.
std::string Expected(const std::string& sdkMinor, const std::string& engine,
                     const std::string& version, const std::string& verdict, bool passed) {
  return kStarted + SdkVersionLines("1." + sdkMinor) +
         EngineIdentificationLines(engine, version, "LUXPlugin", "1.43.0") + verdict +
         Ended(passed ? "PASSED" : "FAILED") +
         Summary({std::string("TestSdkVersion: ") + (passed ? "Passed" : "Failed")});
}

TEST(SdkVersionE2E, ACurrentSdkAndEnginePassWithTheirVersionsPrinted) {
  // Also when a launcher that exits at once starts the application: its reports still count
  // as the application's.
  for (const bool launcher : {false, true}) {
    std::vector<std::string> switches = Engine("UnrealEngine", "4.27.2");
    if (launcher) switches.insert(switches.begin(), "--launcher");
    const CommandOutcome run = RunSdkTest(switches);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(WithoutProcessIds(run.out), Expected("43", "UnrealEngine", "4.27.2", "", true))
        << "launcher " << launcher;
    EXPECT_EQ(run.err, "");
  }
}

TEST(SdkVersionE2E, AnSdkOlderThan118FailsAndAnOldUnityVersionIsWarnedAboutAndPasses) {
  const struct {
    std::string sdkMinor, unityVersion, verdict;
    bool passed;
  } cases[] = {
      // The engine's report arrives with the SDK's, before the session is found.
      {"7", "2019.4.1f1",
       "ERROR: The application is built against an older SDK version\n" +
           GuidelineLine("sqm-pc-sdk-2/"),
       false},
      // The other warnings (an undetected Unity version, an old plug-in) are judged alike.
      {"43", "5.6.3p2",
       "Warning: The application is built against an unsupported Unity version\n" +
           GuidelineLine("sqm-pc-sdk-3/"),
       true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> switches = Engine("Unity", c.unityVersion);
    switches.insert(switches.end(), {"--sdk-version", "1.1." + c.sdkMinor});
    const CommandOutcome run = RunSdkTest(switches);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(WithoutProcessIds(run.out),
              Expected(c.sdkMinor, "Unity", c.unityVersion, c.verdict, c.passed));
  }
}

}  // namespace
}  // namespace e2e
