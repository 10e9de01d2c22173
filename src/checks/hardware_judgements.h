#pragma once

#include <cstdint>

#include "validator/test_result.h"

// The verdicts of the hardware tests (TestResponseToDisplayLost, TestMismatchedAdapters) on the
// errors and frames they counted, with their messages.

namespace QasValidator {

/// How long the application is watched while its display is lost, in ms.
inline constexpr int32_t kDisplayLostObservationMs = 10000;
/// How long the frames are counted after the display is back, in ms.
inline constexpr int32_t kRecoveryFrameCountMs = 10000;
/// How long the frames are counted on a machine whose headset hangs on a second adapter, in ms.
inline constexpr int32_t kSecondAdapterFrameCountMs = 3000;

/// The display-lost errors counted while the display was lost: more than 10 are too many.
/// Writes the count (Info) first. True when the test goes on to the recovery.
bool JudgeDisplayLostErrors(uint32_t errors);

/// The frames the application submitted in the 10 s after the display came back: at least one.
/// Writes the count (Info) first.
TestResult JudgeFramesAfterRecovery(uint32_t frames);

/// The frames the application submitted in its first 3 s on a machine whose headset hangs on
/// a second adapter: at least one.
TestResult JudgeFramesOnTheHeadsetsAdapter(uint32_t frames);

}  // namespace QasValidator
