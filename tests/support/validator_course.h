#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/validator_test_access.h"

namespace testsupport {

/// A test procedure run on its own in a FrontApplicationRig: a Validator whose application is
/// a real process, against an in-test shell, with its waits on fake time.
struct Course {
  /// The shell's answers, given the validator (set before the first request).
  QasValidator::FrontApplicationRig::ShellFactory shell;
  /// Plays the part of the application and the runtime after every pause of the validator.
  QasValidator::FrontApplicationRig::PauseHook onPause = {};
  /// The test procedure.
  std::function<QasValidator::TestResult(QasValidator::Validator&)> test;
};

/// What the procedure left.
struct CourseOutcome {
  int result = -1;  // the TestResult, or -1 when the run went wrong
  std::string printed;
  /// The paths of the shell requests, as RequestPaths gives them.
  std::vector<std::string> requests;
  /// The runtime settings written, as RuntimeSettingsStandIn records them.
  std::vector<std::string> settings;
  /// Time that passed on the fake clock.
  std::chrono::milliseconds elapsed{0};
};

/// Runs `course` in a child process, with a load time of one second.
CourseOutcome RunCourse(const Course& course);

}  // namespace testsupport
