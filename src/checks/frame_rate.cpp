#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "checks/launch_judgements.h"
#include "log/validator_log.h"
#include "platform/clock.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// TestFrameRate: the application's average frame rate over the measurement, from the
// compositor's frame events, against the required minimum.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

constexpr int64_t kHundredNanosecondsPerSecond = 10000000;

}  // namespace

TestResult Validator::TestFrameRate() {
  return RunWithApplication("TestFrameRate", false, [this] {
    hub.SetProximitySensor(true);
    ResetFrameStatistics();
    std::function<bool()> predicate;  // none unless the frame rate is printed
    std::chrono::milliseconds pace = kUntilWoken;
    const bool bounded = fpsTestDurationSeconds != kUnbounded;
    const int64_t durationMs =
        bounded ? std::min<int64_t>(int64_t{fpsTestDurationSeconds} * 1000, kUnbounded) : 0;
    if (printFps) {
      pace = kSelfPaced;
      const int64_t start = platform::SystemTime100ns();
      Log(LogLevel::Info,
          {"Starting measuring FPS at ", std::to_string(start / kHundredNanosecondsPerSecond),
           " seconds since epoch"});
      // Its pauses end when the measurement does: the end is taken at its first call, as the
      // measurement starts.
      std::optional<WaitServices::Clock::time_point> end;
      predicate = [this, start, bounded, durationMs, end]() mutable {  // the frame-rate printer
        const double elapsed = static_cast<double>(platform::SystemTime100ns() - start) /
                               static_cast<double>(kHundredNanosecondsPerSecond);
        LogInfo(FrameRateLine(elapsed, CurrentFrameRate()));
        if (!end) end = waits.now() + std::chrono::milliseconds(durationMs);
        std::chrono::microseconds pause = 500ms;
        if (bounded) {
          pause = std::min(pause, std::chrono::ceil<std::chrono::microseconds>(*end - waits.now()));
        }
        waits.sleep(std::max(pause, 0us));
        return false;
      };
    }

    int32_t measured = 0;
    if (bounded) {
      measured = WaitFor(predicate, static_cast<int32_t>(durationMs), true,
                         {.pollInterval = pace, .activity = "measuring the frame rate"});
      if (measured == kStatusWaitTimeout) measured = 0;  // the measurement's normal end
    } else {
      waits.enterPressed();  // an earlier press does not end the measurement
      LogInfo("Press the Enter key to stop the test.");
      measured = WaitForEnterKey(predicate, pace);
    }
    hub.SetProximitySensor(false);
    if (measured != 0) return TestResultOfStatus(measured);
    return JudgeAverageFrameRate(AverageFrameRate(), minAverageFps);
  });
}

}  // namespace QasValidator
