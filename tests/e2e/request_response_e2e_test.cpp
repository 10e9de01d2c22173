// The request-response tests end to end: the validator binary asks the sample application to
// recenter and to quit, and changes the simulated inter-axial distance, on a fresh simulated
// machine. The application's switches make it answer late, not at all, or wrongly. The console
// lines are compared exactly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {
namespace {

const char kRecenter[] = "TestResponseToRecenterRequest";
const char kQuit[] = "TestAppShouldQuit";
const char kIad[] = "TestResponseToIadChanges";

std::string Passed(const std::string& test) { return test + ": Passed"; }
std::string Failed(const std::string& test) { return test + ": Failed"; }

using testsupport::kDestroyedLine, testsupport::kQuitMissedLines, testsupport::kQuitSentLine;
using testsupport::kFrequentRenderDescLine, testsupport::kIadFollowedLine,
    testsupport::kPoseFixedLine;
using testsupport::kRecenteredLine, testsupport::kRecenterMissedLines,
    testsupport::kRecenterSentLine;

TEST(RequestResponseE2E, AWellBehavedApplicationAnswersEveryRequest) {
  const CommandOutcome run = ExpectRun(
      BegunAfterQuickLoad(kRecenter) + kRecenterSentLine + kRecenteredLine + Ended("PASSED") +
          BegunAfterQuickLoad(kQuit) + kQuitSentLine + kDestroyedLine + Ended("PASSED") +
          BegunAfterQuickLoad(kIad) + kFrequentRenderDescLine + kIadFollowedLine + Ended("PASSED") +
          Summary({Passed(kRecenter), Passed(kQuit), Passed(kIad)}),
      QuickLoadOptions({kRecenter, kQuit, kIad}));
  EXPECT_EQ(run.err, "");
}

// A recenter answered after 1.2 s and a render pose that ignores the inter-axial distance fail.
// (The unit tests judge an answer that never comes alike.)
TEST(RequestResponseE2E, ALateRecenterAndARenderPoseThatIgnoresTheInterAxialDistanceFail) {
  ExpectRun(BegunAfterQuickLoad(kRecenter) + kRecenterSentLine + kRecenterMissedLines +
                Ended("FAILED") + BegunAfterQuickLoad(kIad) + kFrequentRenderDescLine +
                kPoseFixedLine + Ended("FAILED") + Summary({Failed(kRecenter), Failed(kIad)}),
            QuickLoadOptions({kRecenter, kIad}),
            {"--recenter-delay-ms", "1200", "--fixed-render-pose"});
}

// A runtime that misses the crashed client's death ends no session: the test fails after 30 s,
// as for an application that ignores the request. The end of the process is no answer; the
// session-destroyed record that a runtime makes for it is (RequestCourse, in the unit tests).
TEST(RequestResponseE2E, AnApplicationThatCrashesUnnoticedOnTheQuitRequestFails) {
  ExpectRun(BegunAfterQuickLoad(kQuit) + kQuitSentLine + kQuitMissedLines + Ended("FAILED") +
                Summary({Failed(kQuit)}),
            QuickLoadOptions({kQuit}), {"--crash-on-quit"},
            {"--service-option", "--no-death-record"});
}

TEST(RequestResponseE2E, NineteenRenderDescriptionsInTenSecondsFailTheFrequency) {
  const CommandOutcome run = RunValidator({"--load_time_ms", "500", "--test", kIad, "--verbose"},
                                          {"--render-desc-per-10s", "19"});
  EXPECT_EQ(run.exitStatus, 0);
  const std::string error =
      "ERROR: The application is not calling lux_GetRenderDesc at least once in 500ms\n";
  EXPECT_NE(run.out.find(error + "Cleaning up...\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Inter Axial Distance"), std::string::npos) << run.out;
  // At most 19 calls in the 10 s, per eye, however busy the machine: fewer than one in 500 ms.
  for (const std::string eye : {"left", "right"}) {
    const double frequency =
        NumberAfter(run.out, "lux_GetRenderDesc call frequency for " + eye + " eye ");
    EXPECT_GT(frequency, 0.0) << run.out;
    EXPECT_LT(frequency, 0.002) << run.out;
  }
  EXPECT_NE(run.out.find(Summary({Failed(kIad)})), std::string::npos) << run.out;
}

}  // namespace
}  // namespace e2e
