// TestAudioOutput end to end: the validator binary meters the simulated machine's two audio
// devices on its private audio server while the sample application plays its tone on the
// device the runtime selects, or on one its switches choose. The console lines are compared
// exactly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {
namespace {

const char kTest[] = "TestAudioOutput";
const std::string kGuideline = GuidelineLine("sqm-pc-audio-1/");

/// Up to the start of the first listening phase.
std::string FirstPhase() {
  return "Starting TestAudioOutput\nDisable audio mirroring\nSetting audio mode to Windows\n"
         "Dismissing the health and safety warning\n" +
         LoadWait(0) + "Starting test...\n";
}

/// From the verdict of the first phase to the start of the second.
std::string SecondPhase() {
  return "Application played sound thru default audio device\nSetting audio mode to Tarn\n"
         "Dismissing the health and safety warning\n" +
         LoadWait(0) + "Starting test...\n";
}

std::string Failed(const std::string& finding) {
  return finding + kGuideline + Ended("FAILED") + Summary({"TestAudioOutput: Failed"});
}

/// Whether `pieces` occur in `text` one after the other.
bool InOrder(const std::string& text, const std::vector<std::string>& pieces) {
  size_t from = 0;
  for (const std::string& piece : pieces) {
    from = text.find(piece, from);
    if (from == std::string::npos) return false;
    from += piece.size();
  }
  return true;
}

std::string Request(const std::string& path, const std::string& data) {
  return "Sending message to HUB: {\"requestData\":" + data + ",\"requestName\":\"" + path + "\"";
}

TEST(AudioOutputE2E, AnApplicationThatFollowsTheRuntimePassesEvenWhenItsSoundStartsLate) {
  const CommandOutcome run = RunValidator({"--load_time_ms", "500", "--test", kTest, "--verbose"},
                                          {"--sound-after-ms", "3000"});
  EXPECT_EQ(run.exitStatus, 0);
  const std::string listening =
      "Starting test...\nWaiting for the application to play sound to defaultDevice\n";
  const std::string mirror = "/hardware/set_mirror_settings";
  const std::string mode = "/hardware/set_audio_mode";
  EXPECT_TRUE(InOrder(run.out, {"Starting TestAudioOutput\nDisable audio mirroring\n" +
                                    Request(mirror, R"({"direction":"fromDesktop","mode":"off"})"),
                                Request(mirror, R"({"direction":"fromTarn","mode":"off"})"),
                                Request(mode, R"({"device":"windowsDefault","mode":"output"})"),
                                "Setting audio mode to Windows\n", listening,
                                "Application played sound thru default audio device\n" +
                                    Request(mode, R"({"device":"tarn","mode":"output"})"),
                                "Setting audio mode to Tarn\nRestarting application\n", listening,
                                "Application played sound thru Tarn Audio device\nCleaning up...\n",
                                "Test PASSED\n\n" + Summary({"TestAudioOutput: Passed"})}))
      << run.out;
  EXPECT_EQ(run.err, "");
}

// Sound on both devices, or on the headset's in the first phase, is judged alike
// (AudioJudgements). The headset's device must exist and not be the default.
TEST(AudioOutputE2E, SoundOnTheWrongDeviceOrNoneFailsAndTheHeadsetsDeviceIsChecked) {
  const struct {
    std::vector<std::string> switches, machine;
    std::string printed;
  } cases[] = {
      {{"--audio-device", "default"},
       {},
       FirstPhase() + SecondPhase() +
           Failed("ERROR: Application should not have played sound thru defaultDevice\n")},
      {{"--audio-device", "none"},
       {},
       FirstPhase() + Failed("Application played sound thru unexpected device\n")},
      {{},
       {"--default-audio", "tarn"},
       "Starting TestAudioOutput\nSkipping the test since Tarn Audio is configured as default "
       "device\n" +
           Ended("SKIPPED") + Summary({"TestAudioOutput: Skipped"})},
      {{},
       {"--no-tarn-audio"},
       "Starting TestAudioOutput\nERROR: Tarn Audio device can not be found!\n" + Ended("FAILED") +
           Summary({"TestAudioOutput: Failed"})},
  };
  for (const auto& c : cases) {
    ExpectRun(c.printed, QuickLoadOptions({kTest}), c.switches, c.machine);
  }
}

}  // namespace
}  // namespace e2e
