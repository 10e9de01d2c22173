// The hardware tests end to end on fresh simulated machines: the validator binary switches the
// headset's HDMI cable through a simulated breaker box or has an operator do it, and compares
// the display adapters. The sample application's switches make it keep submitting while the
// display is lost, never resume, quit on the loss or render on the first adapter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {
namespace {

const char kDisplayLost[] = "TestResponseToDisplayLost";
const char kAdapters[] = "TestMismatchedAdapters";
const char kUnplugged[] = "HDMI cable unplugged recorded.\n";
const char kAttachedLine[] = "HDMI cable attached and ready to use.";
const std::string kAttached = kAttachedLine + std::string("\n");
const char kChecking[] = "Checking if the application is submitting frames...\n";
const char kErrorCount[] = "Num display lost errors ";

/// The display-lost test from the loss on, for an application that recovers.
std::string Recovered(const std::string& unplugPrompt = "", const std::string& plugPrompt = "") {
  return unplugPrompt + kUnplugged + kChecking + kErrorCount + "%\n" + plugPrompt + kAttached +
         kChecking + "Number of frames submitted after recovering from display lost %\n";
}

/// The end of a test that plugs the cable back in as it ends: the cable's record may come
/// before the end (an optional line of Matches).
std::string EndedAsTheCableGoesBack(const std::string& result) {
  return "Cleaning up...\n" + kAttached + "Test " + result + "\n\n";
}

/// The summary of a run of both tests.
std::string SummaryOfBoth(const std::string& displayLost, const std::string& adapters) {
  return Summary({kDisplayLost + (": " + displayLost), kAdapters + (": " + adapters)});
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
      ExpectRun("Timed out waiting for a reply from COM port\n" +
                    BegunAfterQuickLoad(kDisplayLost) + Recovered() + Ended("PASSED") +
                    Started(kAdapters) + Ended("PASSED") + SummaryOfBoth("Passed", "Passed"),
                BreakerOptions(), {},
                {"--breaker-box", "COM3", "--serial-device", "COM1=silent", "--serial-device",
                 "COM2=other-firmware", "--adapters", "2", "--headset-adapter", "1"});
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
  for (const std::string& part :
       ValidatorCommand(CORVIA_SAMPLE_APP, BreakerOptions({kDisplayLost}), {})) {
    command.push_back(part);
  }
  const CommandOutcome run = RunWithSimulator({}, command);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(Matches(
      run.out, std::string("Could not find breakerbox attached to any COM port\n") +
                   "ERROR: Unable to set up breaker box, will not use breaker box for tests.\n" +
                   BegunAfterQuickLoad(kDisplayLost) +
                   Recovered("Please unplug the HDMI cable of the headset from the PC.\n",
                             "Please plug the HDMI cable of the headset back in the PC.\n") +
                   Ended("PASSED") + Summary({kDisplayLost + std::string(": Passed")})))
      << run.out;
}

TEST(HardwareE2E, TooManyDisplayLostErrorsFailAndAMachineWithoutAdaptersIsAnInternalError) {
  const CommandOutcome run =
      ExpectRun(BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking + kErrorCount + "%\n" +
                    EndedAsTheCableGoesBack("FAILED") + "Starting " + kAdapters +
                    "\nERROR: INTERNAL ERROR: Could not enumerate display "
                    "adapters.DXGI_ERROR -2005270526\n" +
                    Ended("FAILED") + SummaryOfBoth("Failed", "Failed"),
                BreakerOptions(), {"--ignore-display-lost"},
                {"--breaker-box", "COM3", "--adapters", "0"}, {kAttachedLine});
  EXPECT_GT(NumberAfter(run.out, kErrorCount), 100.0) << run.out;  // every frame of the 10 s
}

TEST(HardwareE2E, NoFramesAfterTheLossAndFramesOnTheFirstAdapterFail) {
  ExpectRun(BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking + kErrorCount + "%\n" +
                kAttached + kChecking +
                "Number of frames submitted after recovering from display "
                "lost 0\nERROR: The application did not submit frames after "
                "recovering from display lost\n" +
                Ended("FAILED") + Started(kAdapters) +
                "ERROR: The application is not submitting frames\n" + Ended("FAILED") +
                SummaryOfBoth("Failed", "Failed"),
            BreakerOptions(), {"--no-frames-after-display-lost", "--render-on-first-adapter"},
            {"--breaker-box", "COM3", "--adapters", "2", "--headset-adapter", "1"});
}

TEST(HardwareE2E, QuittingOnTheLossPassesAndOneAdapterSkipsWithoutStartingTheApplication) {
  ExpectRun(BegunAfterQuickLoad(kDisplayLost) + kUnplugged + kChecking +
                EndedAsTheCableGoesBack("PASSED") + "Starting " + kAdapters +
                "\nThis test can only be run on machines with at least two display "
                "adapters. Please plug in the Tarn into a different display adapter in "
                "which the monitor is not plugged into.\n" +
                Ended("SKIPPED") + SummaryOfBoth("Passed", "Skipped"),
            BreakerOptions(), {"--exit-on-display-lost", "0"}, {"--breaker-box", "COM3"},
            {kAttachedLine});
}

}  // namespace
}  // namespace e2e
