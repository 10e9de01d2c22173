#pragma once

#include <cstdint>

#include "validator/test_result.h"

// Status codes of the validator's internal steps: signed 32-bit, 0 for success.

namespace QasValidator {

/// A bounded wait ran out of time.
inline constexpr int32_t kStatusWaitTimeout = -1003;
/// The validation was cancelled.
inline constexpr int32_t kStatusCancelled = -1015;
/// The runtime reported a transient internal error.
inline constexpr int32_t kStatusTransientError = -90011;
/// The application ended with a non-zero exit code.
inline constexpr int32_t kStatusApplicationCrashed = -100001;
/// The application ended with exit code 0.
inline constexpr int32_t kStatusApplicationQuit = -100002;
/// The launch was cancelled (the Windows code of a cancelled operation, ERROR_CANCELLED).
inline constexpr int32_t kStatusLaunchCancelled = 1223;

/// A Windows error code as an HRESULT: 0x80070000 with the code's low 16 bits when the code is
/// above 0; 0 and negative values stay as they are.
int32_t HResultFromWin32(int64_t code);

/// The test result a status code turns into: `TransientError` for the transient runtime error,
/// `Failed` for every other non-zero code, `Passed` for 0.
TestResult TestResultOfStatus(int32_t status);

}  // namespace QasValidator
