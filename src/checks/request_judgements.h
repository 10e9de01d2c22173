#pragma once

#include <array>
#include <cstdint>

#include "validator/test_result.h"

// The verdicts of the request-response tests (TestResponseToRecenterRequest, TestAppShouldQuit,
// TestResponseToIadChanges) on what they waited for and counted, with their messages.

namespace QasValidator {

/// How long the application has to answer a recenter request, in ms.
inline constexpr int32_t kRecenterWaitMs = 1000;
/// How long the application has to destroy its session after the request to quit, in ms.
inline constexpr int32_t kQuitWaitMs = 30000;
/// How long the render-description calls are counted, in ms.
inline constexpr int32_t kRenderDescriptionCountMs = 10000;
/// How long the render pose has to follow a change of the inter-axial distance, in ms.
inline constexpr int32_t kIadChangeWaitMs = 1000;

/// The wait for the recenter flag to be cleared ended with `waited` (0 when it was cleared).
TestResult JudgeRecenterWait(int32_t waited);

/// The wait for the session to be destroyed after the request to quit ended with `waited` (0
/// when it was destroyed, else the time-out).
TestResult JudgeQuitWait(int32_t waited);

/// The render-description calls per eye (left, right) counted over 10 s: at least one per
/// 500 ms on average for each eye, 20 in the 10 s. Writes both frequencies (Verbose) first.
TestResult JudgeRenderDescriptionCalls(const std::array<uint32_t, 2>& calls);

/// The wait for the render pose to follow the change of the inter-axial distance ended with
/// `waited` (0 when it followed). `Passed` means the application handled the change.
TestResult JudgeIadChangeWait(int32_t waited);

}  // namespace QasValidator
