#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/shell_service.h"
#include "validator/validator.h"

namespace testsupport {

/// A test procedure run on its own: a Validator whose application is a real process (a
/// `sleep`), against an in-test shell, with its waits on fake time.
struct Course {
  /// The shell's answers, given the validator (set before the first request).
  std::function<ShellScript(const std::atomic<QasValidator::Validator*>&)> shell;
  /// Called on the main thread after every pause of the validator's waits, to play the part of
  /// the application and the runtime (records, events); it must not pause itself.
  std::function<void(QasValidator::Validator&)> onPause = [](QasValidator::Validator&) {};
  /// The test procedure.
  std::function<QasValidator::TestResult(QasValidator::Validator&)> test;
  /// The runtime takes the settings written to it.
  bool settingsTaken = true;
  /// The validator's messages at the verbose level are printed too (without those of the shell
  /// client).
  bool verbose = false;
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
