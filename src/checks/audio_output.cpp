#include <chrono>
#include <optional>
#include <stdexcept>
#include <vector>

#include "checks/audio_judgements.h"
#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// TestAudioOutput: the runtime's audio output goes to the system's default device, then to the
// headset's own device, and the peak meters of both devices must show the application's sound
// on the selected one.

namespace QasValidator {

namespace {

constexpr char kTestName[] = "TestAudioOutput";
/// The meters cannot wake a wait, so the sound wait reads them at this pace: several times in
/// each 10 ms level period, and the settling time ends at most this late.
constexpr std::chrono::milliseconds kMeterPollInterval{2};

}  // namespace

SoundWaitResult Validator::WaitForSound(std::vector<QasUtils::MMDevice>& devices) {
  SoundWaitResult result;
  std::optional<WaitServices::Clock::time_point> firstSound;
  const auto settled = [&] {
    for (QasUtils::MMDevice& device : devices) {
      if (device.GetPeakValue() <= kSoundThreshold) continue;
      result.played.insert(device);
      if (!firstSound) firstSound = waits.now();
    }
    return firstSound &&
           std::chrono::duration_cast<std::chrono::milliseconds>(waits.now() - *firstSound)
                   .count() > kSoundSettlingMs;
  };
  const int32_t waited =
      WaitFor(settled, kSoundTimeoutMs, true,
              {.pollInterval = kMeterPollInterval, .activity = "listening for the sound"});
  if (waited < 0 && waited != kStatusWaitTimeout) result.status = TestResultOfStatus(waited);
  return result;
}

TestResult Validator::TestAudioOutput() {
  StartTest(kTestName);
  TestResult result = TestResult::Failed;
  // The audio devices report their failures as errors; the test fails with the error's text.
  try {
    result = CheckAudioOutput();
  } catch (const std::runtime_error& error) {
    LogError(error.what());
  }
  return ShutdownTest(kTestName, result);
}

TestResult Validator::CheckAudioOutput() {
  const QasUtils::MMDeviceEnumerator enumerator;
  const QasUtils::MMDevice headset = enumerator.FindDeviceByName(kHeadsetAudioDeviceName);
  if (headset.IsEmpty()) {
    LogError("Tarn Audio device can not be found!");
    return TestResult::Failed;
  }
  // The default device first: the order in which the meters are read.
  std::vector<QasUtils::MMDevice> devices = {enumerator.GetDefaultEndpoint(), headset};
  if (devices[0].GetDeviceId() == headset.GetDeviceId()) {
    LogInfo("Skipping the test since Tarn Audio is configured as default device");
    return TestResult::Skipped;
  }
  // A meter needs a moment after it is attached before it hears anything, so both are attached
  // before the application starts: sound that begins with the application is not missed.
  for (QasUtils::MMDevice& device : devices) device.GetPeakValue();

  LogInfo("Disable audio mirroring");
  if (!hub.SetMirrorSettings("off", "fromDesktop") || !hub.SetMirrorSettings("off", "fromTarn")) {
    LogError("Failed to disable audio mirroring");
    return TestResult::Failed;
  }
  if (!hub.SetAudioMode("windowsDefault", "output")) {
    LogError("Failed to set audio mode to windowsDefault");
    return TestResult::Failed;
  }
  LogInfo("Setting audio mode to Windows");
  const TestResult started = StartApplication(false);
  if (started != TestResult::Passed) return started;
  SoundWaitResult heard = ListenToApplication(devices);
  if (heard.status != TestResult::Passed) return heard.status;
  const TestResult onDefault = JudgeSoundOnDefaultDevice(heard.played.contains(devices[0]),
                                                         heard.played.contains(devices[1]));
  if (onDefault != TestResult::Passed) return onDefault;

  if (!hub.SetAudioMode("tarn", "output")) {
    LogError("Failed to set audio mode to tarn");
    return TestResult::Failed;
  }
  LogInfo("Setting audio mode to Tarn");
  LogVerbose("Restarting application");
  StopApplication();
  const TestResult restarted = SetUpApplication(false);
  if (restarted != TestResult::Passed) return restarted;
  heard = ListenToApplication(devices);
  if (heard.status != TestResult::Passed) return heard.status;
  return JudgeSoundOnHeadsetDevice(heard.played.contains(devices[0]),
                                   heard.played.contains(devices[1]));
}

SoundWaitResult Validator::ListenToApplication(std::vector<QasUtils::MMDevice>& devices) {
  LogVerbose("Waiting for the application to play sound to defaultDevice");
  SoundWaitResult heard = WaitForSound(devices);
  if (heard.status != TestResult::Passed) {
    LogInfo("Error occured while waiting for the application to play sound");
  }
  return heard;
}

}  // namespace QasValidator
