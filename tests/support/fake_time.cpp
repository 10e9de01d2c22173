#include "support/fake_time.h"

namespace testsupport {

QasValidator::WaitServices FakeTime::Services(std::function<bool()> enterPressed) {
  QasValidator::WaitServices services;
  services.now = [this] {
    return QasValidator::WaitServices::Clock::time_point(std::chrono::microseconds(micros_.load()));
  };
  services.sleep = [this](std::chrono::microseconds duration) {
    if (duration > longestSleep_) longestSleep_ = duration;
    micros_ += duration.count();
  };
  services.enterPressed = std::move(enterPressed);
  return services;
}

std::chrono::milliseconds FakeTime::Elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::microseconds(micros_.load()));
}

}  // namespace testsupport
