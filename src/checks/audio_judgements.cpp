#include "checks/audio_judgements.h"

#include "checks/guidelines.h"
#include "log/validator_log.h"

namespace QasValidator {

namespace {

/// Guideline page of the audio output.
constexpr int32_t kAudioGuideline = 4;

TestResult Fails(LogLevel level, const char* finding) {
  Log(level, {finding});
  CiteGuideline(kAudioGuideline);
  return TestResult::Failed;
}

TestResult FailsOnUnexpectedDevice() {
  return Fails(LogLevel::Info, "Application played sound thru unexpected device");
}

}  // namespace

TestResult JudgeSoundOnDefaultDevice(bool onDefault, bool onHeadset) {
  if (onHeadset) {
    return Fails(LogLevel::Error,
                 "Application should not have played sound thru Tarn Audio device");
  }
  if (!onDefault) return FailsOnUnexpectedDevice();
  LogInfo("Application played sound thru default audio device");
  return TestResult::Passed;
}

TestResult JudgeSoundOnHeadsetDevice(bool onDefault, bool onHeadset) {
  if (onDefault) {
    return Fails(LogLevel::Error, "Application should not have played sound thru defaultDevice");
  }
  if (!onHeadset) return FailsOnUnexpectedDevice();
  LogInfo("Application played sound thru Tarn Audio device");
  return TestResult::Passed;
}

}  // namespace QasValidator
