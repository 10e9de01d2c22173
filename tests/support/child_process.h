#pragma once

#include <functional>
#include <string>

namespace testsupport {

/// What a body run in a child process left behind.
struct ChildOutcome {
  int exitStatus = -1;  // the exit status, or 128 + signal number when a signal ended it
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

/// Runs `body` in a forked child with standard output and error captured and returns what it
/// printed and its exit status (the body's return value). Process-wide state that the body
/// changes stays in the child, so each run starts from the parent's state.
ChildOutcome RunInChild(const std::function<int()>& body, const std::string& standardInput = "");

/// Runs `body`, whose expectations are GoogleTest's, like RunInChild: the expectations that
/// fail in the child are written to its standard error and reported as one failure here, and
/// its exit status is their number.
ChildOutcome ExpectInChild(const std::function<void()>& body,
                           const std::string& standardInput = "");

}  // namespace testsupport
