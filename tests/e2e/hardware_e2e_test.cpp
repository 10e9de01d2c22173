// The hardware tests end to end: the validator binary unplugs and re-plugs the headset's HDMI
// cable through a simulated breaker box, or has an operator do it, and compares the display
// adapters, on fresh simulated machines. The sample application's switches make it keep
// submitting while the display is lost, never resume, quit on the loss or render on the first
// adapter. The console lines are compared exactly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_app_runs.h"

namespace e2e {
namespace {

const char kDisplayLost[] = "TestResponseToDisplayLost";
const char kAdapters[] = "TestMismatchedAdapters";

std::string Result(const std::string& test, const std::string& result) {
  return test + ": " + result;
}

const char kUnplugged[] = "HDMI cable unplugged recorded.\n";
const char kAttachedLine[] = "HDMI cable attached and ready to use.";
const std::string kAttached = kAttachedLine + std::string("\n");
const char kChecking[] = "Checking if the application is submitting frames...\n";
const char kErrorCount[] = "Num display lost errors ";
const char kFramesAfter[] = "Number of frames submitted after recovering from display lost ";

/// The display-lost test of a well-behaved application once the cable is out, from the count
/// of the display-lost errors on, with the start of its recovery.
std::string RecoveredAfterTheLoss(const std::string& unplugPrompt, const std::string& plugPrompt) {
  return unplugPrompt + kUnplugged + kChecking + kErrorCount + "%\n" + plugPrompt + kAttached +
         kChecking + kFramesAfter + "%\n";
}

/// Options that run `tests` with the breaker box.
std::vector<std::string> BreakerOptions(const std::vector<std::string>& tests = {kDisplayLost,
                                                                                 kAdapters}) {
  std::vector<std::string> options = QuickLoadOptions(tests);
  options.push_back("--use_breaker");
  return options;
}

TEST(HardwareE2E, ABoxOnCom3SwitchesTheCableAndAWellBehavedApplicationPassesBoth) {
  // COM1 never answers (the probe gives up after its time limit), COM2 is another device.
  const CommandOutcome run =
      RunValidator(BreakerOptions(), {},
                   {"--breaker-box", "COM3", "--serial-device", "COM1=silent", "--serial-device",
                    "COM2=other-firmware", "--adapters", "2", "--headset-adapter", "1"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(
      Matches(run.out, "Timed out waiting for a reply from COM port\n" +
                           BegunAfterQuickLoad(kDisplayLost) + RecoveredAfterTheLoss("", "") +
                           Ended("PASSED") + Started(kAdapters) + Ended("PASSED") +
                           Summary({Result(kDisplayLost, "Passed"), Result(kAdapters, "Passed")})))
      << run.out;
  EXPECT_LE(NumberAfter(run.out, kErrorCount), 1.0) << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(HardwareE2E, WithoutABoxTheOperatorIsAskedToSwitchTheCable) {
  // The operator answers the prompts with the simulator's command.
  const char kOperator[] = R"(cable=$1; shift
"$@" | while IFS= read -r line; do
  printf '%s\n' "$line"
  case $line in
    "Please unplug the HDMI cable of the headset from the PC.") "$cable" unplug ;;
    "Please plug the HDMI cable of the headset back in the PC.") "$cable" plug ;;
  esac
done
exit "${PIPESTATUS[0]}")";
  std::vector<std::string> command = {"bash", "-c", kOperator, "operator", CORVIA_HDMI_CABLE};
  for (const std::string& part : ValidatorCommand(BreakerOptions({kDisplayLost}))) {
    command.push_back(part);
  }
  const CommandOutcome run = RunWithSimulator({}, command);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(Matches(
      run.out,
      std::string("Could not find breakerbox attached to any COM port\n") +
          "ERROR: Unable to set up breaker box, will not use breaker box for tests.\n" +
          BegunAfterQuickLoad(kDisplayLost) +
          RecoveredAfterTheLoss("Please unplug the HDMI cable of the headset from the PC.\n",
                                "Please plug the HDMI cable of the headset back in the PC.\n") +
          Ended("PASSED") + Summary({Result(kDisplayLost, "Passed")})))
      << run.out;
}

TEST(HardwareE2E, TooManyDisplayLostErrorsFailAndAMachineWithoutAdaptersIsAnInternalError) {
  const CommandOutcome run = RunValidator(BreakerOptions(), {"--ignore-display-lost"},
                                          {"--breaker-box", "COM3", "--adapters", "0"});
  EXPECT_EQ(run.exitStatus, 0);
  // The test ends as the cable goes back in: its record may come before the end.
  EXPECT_TRUE(Matches(
      run.out,
      BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking + kErrorCount +
          "%\nCleaning up...\n" + kAttached + "Test FAILED\n\nStarting " + kAdapters +
          "\nERROR: INTERNAL ERROR: Could not enumerate display "
          "adapters.DXGI_ERROR -2005270526\n" +
          Ended("FAILED") + Summary({Result(kDisplayLost, "Failed"), Result(kAdapters, "Failed")}),
      {kAttachedLine}))
      << run.out;
  // Every frame of the 10 s failed: far more than 10.
  EXPECT_GT(NumberAfter(run.out, kErrorCount), 100.0) << run.out;
}

TEST(HardwareE2E, NoFramesAfterTheLossAndFramesOnTheFirstAdapterFail) {
  const CommandOutcome run = RunValidator(
      BreakerOptions(), {"--no-frames-after-display-lost", "--render-on-first-adapter"},
      {"--breaker-box", "COM3", "--adapters", "2", "--headset-adapter", "1"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(
      Matches(run.out, BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking + kErrorCount +
                           "%\n" + kAttached + kChecking + kFramesAfter +
                           "0\nERROR: The application did not submit frames after recovering from "
                           "display lost\n" +
                           Ended("FAILED") + Started(kAdapters) +
                           "ERROR: The application is not submitting frames\n" + Ended("FAILED") +
                           Summary({Result(kDisplayLost, "Failed"), Result(kAdapters, "Failed")})))
      << run.out;
}

TEST(HardwareE2E, QuittingOnTheLossPassesAndOneAdapterSkipsWithoutStartingTheApplication) {
  const CommandOutcome run =
      RunValidator(BreakerOptions(), {"--exit-on-display-lost", "0"}, {"--breaker-box", "COM3"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(Matches(run.out,
                      BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking +
                          "Cleaning up...\n" + kAttached + "Test PASSED\n\nStarting " + kAdapters +
                          "\nThis test can only be run on machines with at least two display "
                          "adapters. Please plug in the Tarn into a different display adapter in "
                          "which the monitor is not plugged into.\n" +
                          Ended("SKIPPED") +
                          Summary({Result(kDisplayLost, "Passed"), Result(kAdapters, "Skipped")}),
                      {kAttachedLine}))
      << run.out;
}

}  // namespace
}  // namespace e2e
