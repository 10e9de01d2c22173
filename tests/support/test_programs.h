#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

/// A program for the tests to launch, with its arguments.
struct TestProgram {
  std::string path;
  std::vector<std::string> arguments;
};

/// A program that runs for `seconds` (a decimal number; "0" ends at once) and then exits with
/// 0. Asked to close, it ends at once: SIGTERM on POSIX, WM_CLOSE to its window on Windows.
TestProgram SleepingProgram(const std::string& seconds);

/// Waits up to 10 s until the process `processId` shows a top-level window, as an application
/// has before it can come to the front: on Windows the close message reaches only its windows.
/// POSIX applications have no windows to wait for.
void WaitUntilShown(uint32_t processId);

}  // namespace testsupport
