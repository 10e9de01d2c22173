#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/console_lines.h"
#include "support/validator_test_access.h"
#include "validator/test_result.h"

namespace testsupport {

// A test's judgement, and its procedure run on its own, where their console output can be read.

/// A test procedure run on its own in a FrontApplicationRig: a Validator whose application is
/// a real process, against an in-test shell, with its waits on fake time.
struct Course {
  /// The test procedure, by its name.
  std::string test;
  /// The shell's answers, given the validator (set before the first request).
  QasValidator::FrontApplicationRig::ShellFactory shell =
      QasValidator::ValidatorTestAccess::NewerShellApplicationInFront;
  /// Plays the part of the application and the runtime after every pause of the validator.
  QasValidator::FrontApplicationRig::PauseHook onPause = {};
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

/// Runs `course` in a child process, with a load time of one second and the program's default
/// time to the first frame (4 s).
CourseOutcome RunCourse(const Course& course);

/// What a course must leave; what is left empty is not checked.
struct CourseExpectation {
  QasValidator::TestResult result;
  /// What the procedure prints after its first line and before its clean-up, process ids
  /// written as WithoutProcessIds writes them.
  std::string printed;
  /// The last shell requests and runtime settings, as CourseOutcome has them.
  std::vector<std::string> lastRequests = {};
  std::vector<std::string> lastSettings = {};
  /// The fake time the course took, to 100 ms.
  std::chrono::milliseconds elapsed{-1};
};

/// Runs `course` and checks that it left what `expected` says.
void ExpectCourse(const Course& course, const CourseExpectation& expected);

/// What a judgement decided and what it printed on the console.
struct Verdict {
  QasValidator::TestResult result;
  std::string printed;
};

/// Runs `judgement` in a child process, after `setUp` (e.g. verbose logging on), and returns
/// its result and console output.
Verdict JudgeInChild(const std::function<QasValidator::TestResult()>& judgement,
                     const std::function<void()>& setUp = {});

/// Runs `judgement` like JudgeInChild, with the usage events it sends printed as RecordTelemetry
/// prints them, without the fields that every event carries.
Verdict JudgeRecordingTelemetry(const std::function<QasValidator::TestResult()>& judgement);

/// The lines of the load wait of RunCourse, up to the test's own first line.
inline const std::string kBegunAfterLoad =
    "Waiting for the application to run for 1 seconds before testing begins...\n"
    "Starting test...\n";

}  // namespace testsupport
