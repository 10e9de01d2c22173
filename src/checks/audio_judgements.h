#pragma once

#include <cstdint>

#include "utils/audio_devices.h"
#include "validator/test_result.h"

// What TestAudioOutput listens for, what its sound wait returns, and its verdicts on where the
// application played its sound.

namespace QasValidator {

/// The longest wait for sound, in ms.
inline constexpr int32_t kSoundTimeoutMs = 10000;
/// A device plays sound while its peak level is above this.
inline constexpr float kSoundThreshold = 0.01f;
/// After the first sound, the meters are watched until more than this has passed, in ms.
inline constexpr int32_t kSoundSettlingMs = 1500;
/// The text that the friendly name of the headset's audio device contains.
inline constexpr char kHeadsetAudioDeviceName[] = "Tarn Audio";

/// What `Validator::WaitForSound` heard: the devices that played sound, and `Passed` unless the
/// wait ended early because the application or the run failed.
struct SoundWaitResult {
  QasUtils::MMDeviceSet played;
  TestResult status = TestResult::Passed;
};

/// The first phase, the system's default device selected: sound on the headset's device fails
/// (checked first), so does no sound on the default device; otherwise `Passed` after "Application
/// played sound thru default audio device".
TestResult JudgeSoundOnDefaultDevice(bool onDefault, bool onHeadset);

/// The second phase, the headset's device selected: sound on the default device fails (checked
/// first), so does no sound on the headset's device.
TestResult JudgeSoundOnHeadsetDevice(bool onDefault, bool onHeadset);

}  // namespace QasValidator
