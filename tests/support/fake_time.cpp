#include "support/fake_time.h"

namespace testsupport {

using QasValidator::WaitServices;

QasValidator::WaitServices FakeTime::Services(std::function<bool()> enterPressed) {
  WaitServices services;
  services.now = [this] {
    return WaitServices::Clock::time_point(std::chrono::microseconds(micros_.load()));
  };
  services.sleep = [this](std::chrono::microseconds duration) { Pass(duration); };
  services.pause = [this](WaitServices::WakeSources sources, std::chrono::microseconds duration,
                          bool) {
    const uint32_t signalled = platform::WaitForMultiple(sources, 0);
    if (signalled < sources.size()) return signalled;
    if (duration != WaitServices::kForever) Pass(duration);
    return platform::kWaitTimeout;
  };
  services.enterPressed = std::move(enterPressed);
  services.showProgress = nullptr;
  return services;
}

std::chrono::milliseconds FakeTime::Elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::microseconds(micros_.load()));
}

void FakeTime::Pass(std::chrono::microseconds duration) {
  if (duration > longestSleep_) longestSleep_ = duration;
  micros_ += duration.count();
}

}  // namespace testsupport
