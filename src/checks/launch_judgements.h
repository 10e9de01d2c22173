#pragma once

#include <string>

#include "validator/test_result.h"

// The verdicts of TestLaunchIntoVR and TestFrameRate on what they measured, with their messages
// and usage-telemetry actions.

namespace QasValidator {

/// The first frame came `delaySeconds` after the session was created; `headTrackedLayerSeen`
/// tells whether it carried a head-tracked layer. Too late (above `maxDelaySeconds`) and no
/// head-tracked layer each fail the test with their own message.
TestResult JudgeFirstFrame(double delaySeconds, bool headTrackedLayerSeen, double maxDelaySeconds);

/// No first frame arrived within `waitedSeconds`, which is longer than the allowed delay: the
/// application took too long.
TestResult JudgeMissingFirstFrame(double waitedSeconds);

/// The average frame rate of the measurement against the required minimum. Below 89 the
/// Framewatch hint is given; below the minimum too, the test fails.
TestResult JudgeAverageFrameRate(double averageFps, double minimumFps);

/// The frame-rate printer's line: "Seconds elapsed: " with three decimals, "    FPS: " with two.
std::string FrameRateLine(double elapsedSeconds, double currentFps);

}  // namespace QasValidator
