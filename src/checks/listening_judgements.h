#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "validator/test_result.h"

// The verdicts of the listening tests (RunErrorCapture, TestPropertyAccess) on what the runtime
// reported while they listened, with their messages.

namespace QasValidator {

/// How long RunErrorCapture listens when a load time is set, and TestPropertyAccess always.
inline constexpr int32_t kListeningMs = 30000;

/// What interactive RunErrorCapture shows before it waits for the Enter key.
inline constexpr char kErrorCaptureInstructions[] =
    "In this test, you can navigate through the application andthe validator will output all "
    "the errors it encounters.\nPress the ESC key to exit the test when done.\nPress the Enter "
    "key to start.";

/// `errorCount` runtime errors arrived (each was written out as it came): `Passed` after "No
/// errors received." when the count, taken as a signed number, is 0 or less, else `Failed`.
TestResult JudgeRuntimeErrors(int32_t errorCount);

/// The restricted properties the application read: `Failed` with one line that lists them in
/// their order, each followed by a blank, when there is any, else `Passed`.
TestResult JudgePropertyAccess(const std::set<std::string>& properties);

}  // namespace QasValidator
