#include <algorithm>
#include <chrono>
#include <limits>

#include "checks/launch_judgements.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// TestLaunchIntoVR: the time from the creation of the application's session to its first
// submitted frame, and whether that frame carried a head-tracked layer.
//
// The wait for the first frame is bounded, so that an application that never renders cannot
// hold the run forever: it ends when the application ends (the status poll, each round) or
// when the allowed delay plus a grace of 10 s has passed since the session was found. The
// session was created before it was found, so a frame still missing then is late whatever
// it brings; the grace covers the delivery of its record. A negative allowed delay (the
// command line takes any number) still leaves the grace.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

constexpr double kFirstFrameGraceMs = 10000.0;

}  // namespace

TestResult Validator::TestLaunchIntoVR() {
  return RunWithApplication("TestLaunchIntoVR", true, [this] {
    double delay = -1.0;
    bool headTracked = false;
    int32_t state = 0;
    const auto firstFrameArrived = [&] {
      const bool arrived = WithSessionRecord([&](const ProcessRecord& record) {
        if (record.firstFrameDelay == -1.0) return false;
        delay = record.firstFrameDelay;
        headTracked = record.headTrackedLayerSeen;
        return true;
      });
      if (arrived) return true;
      state = CheckApplicationState();
      if (state < 0) return true;
      waits.sleep(500ms);
      return false;
    };
    const double boundMs =
        std::clamp(maxTimeToFrameSeconds * 1000.0 + kFirstFrameGraceMs, kFirstFrameGraceMs,
                   static_cast<double>(std::numeric_limits<int32_t>::max()));
    const int32_t waited = WaitFor(firstFrameArrived, static_cast<int32_t>(boundMs), false);

    if (waited == kStatusWaitTimeout) return JudgeMissingFirstFrame(boundMs / 1000.0);
    if (state < 0) return TestResultOfStatus(state);
    return JudgeFirstFrame(delay, headTracked, maxTimeToFrameSeconds);
  });
}

}  // namespace QasValidator
