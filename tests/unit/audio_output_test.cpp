#include <gtest/gtest.h>
#include <stdlib.h>

#include <iostream>

#include "checks/audio_judgements.h"
#include "support/child_process.h"
#include "support/fake_audio.h"
#include "support/validator_course.h"
#include "validator/validator.h"

// TestAudioOutput: its verdicts on where the sound was heard, its sound wait over fake meters
// on a fake clock, and its end when the audio devices fail.

namespace QasValidator {
namespace {

using namespace std::chrono_literals;
using testsupport::FakeAudio;
using testsupport::FakeTime;
using testsupport::GuidelineLine;
using testsupport::RunInChild;

const std::string kGuideline = GuidelineLine("sqm-pc-audio-1/");

// A sound on one device in either phase, and none in the first: AudioOutputE2E.
TEST(AudioJudgements, EachPhaseChecksTheDeviceThatMustStaySilentFirst) {
  const auto phase = [](bool headsetPhase, bool onDefault, bool onHeadset) {
    return std::function<TestResult()>([=] {
      return headsetPhase ? JudgeSoundOnHeadsetDevice(onDefault, onHeadset)
                          : JudgeSoundOnDefaultDevice(onDefault, onHeadset);
    });
  };
  const testsupport::JudgementCase cases[] = {
      {phase(false, true, true), TestResult::Failed,
       "ERROR: Application should not have played sound thru Tarn Audio device\n" + kGuideline},
      {phase(true, true, true), TestResult::Failed,
       "ERROR: Application should not have played sound thru defaultDevice\n" + kGuideline},
      {phase(true, false, false), TestResult::Failed,
       "Application played sound thru unexpected device\n" + kGuideline},
  };
  testsupport::ExpectJudgements(cases);
}

/// A level that rises to `loud` at `from` on `time` and falls again at `until`.
std::function<float()> SoundBetween(const FakeTime& time, std::chrono::milliseconds from,
                                    std::chrono::milliseconds until, float loud = 0.5f) {
  return [&time, from, until, loud] {
    return time.Elapsed() >= from && time.Elapsed() < until ? loud : 0.0f;
  };
}

TEST(SoundWait, TheMetersAreWatchedForOneAndAHalfSecondsAfterTheFirstSoundOrTenInAll) {
  const struct {
    std::chrono::milliseconds defaultFrom, defaultUntil, headsetFrom;
    float headsetLevel;
    std::vector<std::string> played;
    std::chrono::milliseconds elapsed;
  } cases[] = {
      {2000ms, 1h, 1h, 0.5f, {"speakers"}, 3502ms},
      {9000ms, 1h, 1h, 0.5f, {"speakers"}, 10000ms},  // still heard, and the wait ends on time
      {1h, 1h, 1h, 0.5f, {}, 10000ms},
      {2000ms, 1h, 1000ms, 0.5f, {"headphones", "speakers"}, 2502ms},
      {1000ms, 1001ms, 3000ms, 0.5f, {"speakers"}, 2502ms},  // the headset is heard too late
      {1000ms, 1h, 0ms, 0.01f, {"speakers"}, 2502ms},        // the threshold is not sound
  };
  for (const auto& sound : cases) {
    FakeTime time;
    FakeAudio audio;
    audio.endpoints = {
        {.id = "speakers", .level = SoundBetween(time, sound.defaultFrom, sound.defaultUntil)},
        {.id = "headphones",
         .level = SoundBetween(time, sound.headsetFrom, 1h, sound.headsetLevel)}};
    Validator validator({{}, time.Services()});
    std::vector<QasUtils::MMDevice> devices = {QasUtils::MMDevice(audio.Device(0)),
                                               QasUtils::MMDevice(audio.Device(1))};
    const SoundWaitResult heard = validator.WaitForSound(devices);
    std::vector<std::string> played;
    for (const QasUtils::MMDevice& device : heard.played) played.push_back(device.GetDeviceId());
    EXPECT_EQ(heard.status, TestResult::Passed);
    EXPECT_EQ(played, sound.played) << sound.elapsed.count();
    EXPECT_EQ(time.Elapsed(), sound.elapsed);
  }
}

TEST(SoundWait, ARunThatFailsMeanwhileEndsTheWaitWithWhatWasHeard) {
  const auto run = RunInChild([] {
    FakeTime time;
    FakeAudio audio;
    Validator validator({{}, time.Services()});
    audio.endpoints = {{.id = "speakers", .level = [&] {
                          if (time.Elapsed() >= 500ms) {
                            ValidatorTestAccess::TransientError(validator) = true;
                          }
                          return 0.02f;
                        }}};
    std::vector<QasUtils::MMDevice> devices = {QasUtils::MMDevice(audio.Device(0))};
    const SoundWaitResult heard = validator.WaitForSound(devices);
    std::cout << heard.played.size() << " heard, " << time.Elapsed().count() << " ms" << std::endl;
    return static_cast<int>(heard.status);
  });
  EXPECT_EQ(run.exitStatus, static_cast<int>(TestResult::TransientError));
  EXPECT_EQ(run.out, std::string(testsupport::kTransientErrorLines) + "1 heard, 502 ms\n");
}

TEST(AudioOutputCourse, AnErrorOfTheAudioDevicesFailsTheTestWithItsText) {
  const auto run = RunInChild([] {
    setenv("PULSE_SERVER", "unix:/nonexistent/corvia/native", 1);
    testsupport::ValidatorSurroundings surroundings;
    Validator validator;
    return static_cast<int>(validator.TestAudioOutput());
  });
  EXPECT_EQ(run.exitStatus, static_cast<int>(TestResult::Failed));
  EXPECT_EQ(run.out,
            "Starting TestAudioOutput\nERROR: Failed to create device enumerator -2004287472\n" +
                testsupport::Ended("FAILED"));
}

}  // namespace
}  // namespace QasValidator
