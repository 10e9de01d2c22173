// TestSdkVersion end to end: the validator binary reads the SDK version and the engine that the
// sample application reports to the runtime, on a fresh simulated machine without the
// health-and-safety warning (so that no line about it falls among the version lines, which
// arrive while the session is being looked for). The console lines are compared exactly, with
// the process ids left out. (ValidatorE2E.ARunReportsEveryStepAndItsDurationToTheRuntime has an
// application that reports a current SDK pass.)

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
    const CommandOutcome run = RunValidator(
        {"--test", "TestSdkVersion"},
        {"--engine-name", "Unity", "--engine-version", c.unityVersion, "--engine-plugin-name",
         "LUXPlugin", "--engine-plugin-version", "1.43.0", "--sdk-version", "1.1." + c.sdkMinor},
        {"--service-option", "--no-hsw"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(WithoutProcessIds(run.out),
              "Starting TestSdkVersion\n" + SdkVersionLines("1." + c.sdkMinor) +
                  EngineIdentificationLines("Unity", c.unityVersion, "LUXPlugin", "1.43.0") +
                  c.verdict + Ended(c.passed ? "PASSED" : "FAILED") +
                  Summary({std::string("TestSdkVersion: ") + (c.passed ? "Passed" : "Failed")}))
        << c.unityVersion;
    EXPECT_EQ(run.err, "");
  }
}

}  // namespace
}  // namespace e2e
