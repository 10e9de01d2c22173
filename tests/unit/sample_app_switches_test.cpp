#include "switches.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "launch_counter.h"

// The sample application's switches and its launch counter.

namespace sampleapp {
namespace {

using namespace std::chrono_literals;

TEST(SampleAppSwitches, WithoutSwitchesTheApplicationIsWellBehaved) {
  const SwitchesOutcome outcome = ParseSwitches({});
  EXPECT_TRUE(outcome.error.empty());
  EXPECT_FALSE(outcome.helpRequested);
  const Behaviour& behaviour = outcome.behaviour;
  EXPECT_EQ(behaviour.framesPerSecond, 90.0);
  EXPECT_EQ(behaviour.firstFrameDelay, 0ms);
  EXPECT_FALSE(behaviour.firstFrameHeadLocked);
  EXPECT_FALSE(behaviour.endAfter);
  EXPECT_EQ(behaviour.crashSignal, 0);
  EXPECT_FALSE(behaviour.ignoreCloseRequest);
  EXPECT_EQ(behaviour.launcher, LauncherMode::kNone);
  EXPECT_EQ(behaviour.transientErrorLaunches, 0);
  EXPECT_TRUE(behaviour.engine.Empty());
  EXPECT_FALSE(behaviour.reportedSdkVersion);
  EXPECT_FALSE(behaviour.focusAware);
  EXPECT_TRUE(behaviour.commitBehindDash);
  EXPECT_TRUE(behaviour.commitWhenVisible);
  EXPECT_FALSE(behaviour.commitWhenNotVisible);
  EXPECT_FALSE(behaviour.strayCommitAfter);
  EXPECT_FALSE(behaviour.ignoreRecenter);
  EXPECT_EQ(behaviour.recenterDelay, 0ms);
  EXPECT_EQ(behaviour.quitResponse, QuitResponse::kEnd);
  EXPECT_FALSE(behaviour.renderDescriptionsPer10s);
  EXPECT_FALSE(behaviour.fixedRenderPose);
  EXPECT_EQ(behaviour.displayLostResponse, DisplayLostResponse::kPause);
  EXPECT_FALSE(behaviour.renderOnFirstAdapter);
  EXPECT_FALSE(behaviour.bundledRuntime);
  EXPECT_EQ(behaviour.runtimeErrors, 0);
  EXPECT_TRUE(behaviour.propertiesRead.empty());
  EXPECT_EQ(behaviour.audioDevice, AudioDevice::kRuntime);
  EXPECT_EQ(behaviour.soundDelay, 0ms);
}

TEST(SampleAppSwitches, MisbehavioursTowardsThePackageAndListeningTests) {
  const Behaviour behaviour =
      ParseSwitches({"--bundled-runtime", "--runtime-errors", "2", "--read-property", "Name",
                     "--read-property=User", "--read-property", "Name"})
          .behaviour;
  EXPECT_TRUE(behaviour.bundledRuntime);
  EXPECT_EQ(behaviour.runtimeErrors, 2);
  EXPECT_EQ(behaviour.propertiesRead, (std::vector<std::string>{"Name", "User", "Name"}));
  EXPECT_EQ(ParseSwitches({"--runtime-errors", "-1"}).error,
            "--runtime-errors: not a number of errors: -1");
  EXPECT_EQ(ParseSwitches({"--read-property="}).error, "--read-property: no property name");
}

TEST(SampleAppSwitches, TheSoundGoesToAChosenDeviceOrStartsLate) {
  const std::pair<const char*, AudioDevice> devices[] = {{"default", AudioDevice::kDefault},
                                                         {"tarn", AudioDevice::kTarn},
                                                         {"both", AudioDevice::kBoth},
                                                         {"none", AudioDevice::kNone}};
  for (const auto& [name, device] : devices) {
    EXPECT_EQ(ParseSwitches({"--audio-device", name}).behaviour.audioDevice, device) << name;
  }
  EXPECT_EQ(ParseSwitches({"--audio-device=Tarn"}).error,
            "--audio-device: not default, tarn, both or none: Tarn");
  EXPECT_EQ(ParseSwitches({"--sound-after-ms", "9000"}).behaviour.soundDelay, 9000ms);
}

TEST(SampleAppSwitches, MisbehavioursTowardsTheTestsOfVisibilityAndRequests) {
  const SwitchesOutcome outcome =
      ParseSwitches({"--focus-aware", "--no-commit-in-dash", "--no-commit-when-visible",
                     "--commit-when-not-visible", "--stray-commit-after-ms=2500",
                     "--ignore-recenter", "--recenter-delay-ms", "1200", "--ignore-quit",
                     "--render-desc-per-10s", "19", "--fixed-render-pose"});
  ASSERT_TRUE(outcome.error.empty()) << outcome.error;
  const Behaviour& behaviour = outcome.behaviour;
  EXPECT_TRUE(behaviour.focusAware);
  EXPECT_FALSE(behaviour.commitBehindDash);
  EXPECT_FALSE(behaviour.commitWhenVisible);
  EXPECT_TRUE(behaviour.commitWhenNotVisible);
  EXPECT_EQ(behaviour.strayCommitAfter, 2500ms);
  EXPECT_TRUE(behaviour.ignoreRecenter);
  EXPECT_EQ(behaviour.recenterDelay, 1200ms);
  EXPECT_EQ(behaviour.quitResponse, QuitResponse::kIgnore);
  EXPECT_EQ(behaviour.renderDescriptionsPer10s, 19);
  EXPECT_TRUE(behaviour.fixedRenderPose);
  // The later of the two quit switches wins.
  EXPECT_EQ(ParseSwitches({"--ignore-quit", "--keep-running-after-quit"}).behaviour.quitResponse,
            QuitResponse::kDestroySessionAndKeepRunning);
  EXPECT_EQ(ParseSwitches({"--render-desc-per-10s", "0"}).error,
            "--render-desc-per-10s: not a number of fetches (1 to 100000): 0");
}

TEST(SampleAppSwitches, ValuesComeAsTheNextArgumentOrAfterAnEqualsSign) {
  const SwitchesOutcome outcome = ParseSwitches({"--fps",
                                                 "44.5",
                                                 "--first-frame-delay-ms=4200",
                                                 "--first-frame-head-locked",
                                                 "--end-after-ms",
                                                 "1500",
                                                 "--exit-code=3",
                                                 "--ignore-close",
                                                 "--transient-error-launches",
                                                 "2",
                                                 "--transient-error-delay-ms",
                                                 "3000",
                                                 "--launch-count-file",
                                                 "/tmp/x",
                                                 "--engine-name",
                                                 "Unity",
                                                 "--engine-version=2019.4",
                                                 "--engine-plugin-name",
                                                 "LUXPlugin",
                                                 "--engine-plugin-version",
                                                 "1.43.0"});
  ASSERT_TRUE(outcome.error.empty()) << outcome.error;
  const Behaviour& behaviour = outcome.behaviour;
  EXPECT_EQ(behaviour.framesPerSecond, 44.5);
  EXPECT_EQ(behaviour.firstFrameDelay, 4200ms);
  EXPECT_TRUE(behaviour.firstFrameHeadLocked);
  EXPECT_EQ(behaviour.endAfter, 1500ms);
  EXPECT_EQ(behaviour.exitCode, 3);
  EXPECT_TRUE(behaviour.ignoreCloseRequest);
  EXPECT_EQ(behaviour.transientErrorLaunches, 2);
  EXPECT_EQ(behaviour.transientErrorDelay, 3000ms);
  EXPECT_EQ(behaviour.launchCountFile, "/tmp/x");
  EXPECT_EQ(behaviour.engine.name, "Unity");
  EXPECT_EQ(behaviour.engine.version, "2019.4");
  EXPECT_EQ(behaviour.engine.pluginName, "LUXPlugin");
  EXPECT_EQ(behaviour.engine.pluginVersion, "1.43.0");
}

TEST(SampleAppSwitches, AnOlderSdkVersionIsReportedAsProductMajorAndMinor) {
  EXPECT_EQ(ParseSwitches({"--sdk-version", "1.1.7"}).behaviour.reportedSdkVersion,
            (SdkVersion{1, 1, 7}));
  EXPECT_EQ(ParseSwitches({"--sdk-version=0.0.4294967295"}).behaviour.reportedSdkVersion,
            (SdkVersion{0, 0, 4294967295u}));
  for (const char* wrong : {"1.1", "1.1.7.2", "1..7", "1.1.x", "1.-1.7", "1.1.4294967296", ""}) {
    EXPECT_EQ(ParseSwitches({"--sdk-version", wrong}).error,
              std::string("--sdk-version: not an SDK version (PRODUCT.MAJOR.MINOR): ") + wrong);
  }
}

TEST(SampleAppSwitches, CrashSignalsGoByNumberOrName) {
  EXPECT_EQ(ParseSwitches({"--crash", "SEGV"}).behaviour.crashSignal, SIGSEGV);
  EXPECT_EQ(ParseSwitches({"--crash", "SIGABRT"}).behaviour.crashSignal, SIGABRT);
  EXPECT_EQ(ParseSwitches({"--crash=6"}).behaviour.crashSignal, 6);
  EXPECT_EQ(ParseSwitches({"--crash", "KILL"}).error, "--crash: not a signal: KILL");
  EXPECT_EQ(ParseSwitches({"--crash", "NOPE"}).error, "--crash: not a signal: NOPE");
}

TEST(SampleAppSwitches, WrongCommandLinesSayWhatIsWrong) {
  EXPECT_EQ(ParseSwitches({"--bogus"}).error, "unknown switch: --bogus");
  EXPECT_EQ(ParseSwitches({"stray"}).error, "unexpected argument: stray");
  EXPECT_EQ(ParseSwitches({"--fps"}).error, "--fps needs a value (RATE)");
  EXPECT_EQ(ParseSwitches({"--fps", "0"}).error, "--fps: not a frame rate: 0");
  EXPECT_EQ(ParseSwitches({"--fps", "9x"}).error, "--fps: not a frame rate: 9x");
  EXPECT_EQ(ParseSwitches({"--exit-code", "256"}).error,
            "--exit-code: not an exit code (0 to 255): 256");
  EXPECT_EQ(ParseSwitches({"--end-after-ms", "-1"}).error,
            "--end-after-ms: not a number of milliseconds: -1");
  EXPECT_EQ(ParseSwitches({"--ignore-close=yes"}).error, "--ignore-close takes no value");
}

TEST(SampleAppSwitches, TheLauncherPassesEveryOtherSwitchToTheApplication) {
  SwitchesOutcome outcome =
      ParseSwitches({"--fps", "30", "--launcher", "--exit-code=4", "--ignore-close"});
  EXPECT_EQ(outcome.behaviour.launcher, LauncherMode::kExit);
  EXPECT_EQ(outcome.applicationArguments,
            (std::vector<std::string>{"--fps", "30", "--exit-code=4", "--ignore-close"}));
  outcome = ParseSwitches({"--launcher-wait"});
  EXPECT_EQ(outcome.behaviour.launcher, LauncherMode::kWaitForChild);
  EXPECT_TRUE(outcome.applicationArguments.empty());
}

TEST(SampleAppSwitches, HelpListsEverySwitch) {
  EXPECT_TRUE(ParseSwitches({"--help"}).helpRequested);
  EXPECT_TRUE(ParseSwitches({"-h"}).helpRequested);
  const std::string usage = UsageText("app");
  for (const char* name : {"--fps RATE",
                           "--first-frame-delay-ms MS",
                           "--first-frame-head-locked",
                           "--end-after-ms MS",
                           "--exit-code CODE",
                           "--crash SIGNAL",
                           "--ignore-close",
                           "--launcher",
                           "--launcher-wait",
                           "--transient-error-launches N",
                           "--transient-error-delay-ms MS",
                           "--launch-count-file PATH",
                           "--engine-name NAME",
                           "--engine-plugin-version VERSION",
                           "--sdk-version PRODUCT.MAJOR.MINOR",
                           "--focus-aware",
                           "--no-commit-in-dash",
                           "--no-commit-when-visible",
                           "--commit-when-not-visible",
                           "--stray-commit-after-ms MS",
                           "--ignore-recenter",
                           "--recenter-delay-ms MS",
                           "--ignore-quit",
                           "--keep-running-after-quit",
                           "--render-desc-per-10s N",
                           "--fixed-render-pose",
                           "--ignore-display-lost",
                           "--no-frames-after-display-lost",
                           "--exit-on-display-lost CODE",
                           "--render-on-first-adapter",
                           "--bundled-runtime",
                           "--runtime-errors N",
                           "--read-property NAME",
                           "--help"}) {
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  }
}

TEST(LaunchCounter, CountsOneMoreLaunchEachTime) {
  const std::string path = testing::TempDir() + "sample_app_launches";
  std::filesystem::remove(path);
  EXPECT_EQ(CountLaunch(path), 1);
  EXPECT_EQ(CountLaunch(path), 2);
  EXPECT_EQ(CountLaunch(path), 3);
  std::ofstream(path) << "garbage";
  EXPECT_EQ(CountLaunch(path), 1);
  EXPECT_FALSE(CountLaunch("/nonexistent/folder/launches"));
}

}  // namespace
}  // namespace sampleapp
