#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>

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
// it brings; the grace covers the delivery of its record.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

constexpr double kFirstFrameGraceMs = 10000.0;

}  // namespace

TestResult Validator::TestLaunchIntoVR() {
  const std::string name = "TestLaunchIntoVR";
  StartTest(name);
  const TestResult started = StartApplication(true);
  if (started != TestResult::Passed) return ShutdownTest(name, started);
  {
    std::lock_guard lock(eventLock);
    FindOrCreateProcessRecord(sessionPid);
  }

  double delay = -1.0;
  bool headTracked = false;
  int32_t state = 0;
  const auto firstFrameArrived = [&] {
    {
      std::lock_guard lock(eventLock);
      const ProcessRecord& record = FindOrCreateProcessRecord(sessionPid);
      if (record.firstFrameDelay != -1.0) {
        delay = record.firstFrameDelay;
        headTracked = record.headTrackedLayerSeen;
        return true;
      }
    }
    state = CheckApplicationState();
    if (state < 0) return true;
    waits.sleep(500ms);
    return false;
  };
  const double boundMs = std::min(maxTimeToFrameSeconds * 1000.0 + kFirstFrameGraceMs,
                                  static_cast<double>(std::numeric_limits<int32_t>::max()));
  const int32_t waited = WaitFor(firstFrameArrived, static_cast<int32_t>(boundMs), false);

  TestResult result = TestResult::Passed;
  if (waited == kStatusWaitTimeout) {
    result = JudgeMissingFirstFrame(boundMs / 1000.0);
  } else if (state < 0) {
    result = TestResultOfStatus(state);
  } else {
    result = JudgeFirstFrame(delay, headTracked, maxTimeToFrameSeconds);
  }
  return ShutdownTest(name, result);
}

}  // namespace QasValidator
