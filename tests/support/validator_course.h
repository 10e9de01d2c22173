#pragma once

#include <chrono>
#include <functional>
#include <span>
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
  /// The time to the first frame allowed, in seconds (--max_time_to_frame).
  double maxTimeToFrame = 4.0;
};

/// What a course must leave; what is left empty is not checked.
struct CourseExpectation {
  QasValidator::TestResult result;
  /// What the procedure prints after its first line and before its clean-up, process ids
  /// written as WithoutProcessIds writes them.
  std::string printed;
  /// The last shell requests, as RequestPaths gives them, and runtime settings written, as
  /// RuntimeSettingsStandIn records them.
  std::vector<std::string> lastRequests = {};
  std::vector<std::string> lastSettings = {};
  /// The fake time the course took, to 100 ms.
  std::chrono::milliseconds elapsed{-1};
};

/// Runs `course` in a child process, with a load time of one second, and checks that it left
/// what `expected` says.
void ExpectCourse(const Course& course, const CourseExpectation& expected);

/// How the console output of a judgement is read: as it is; with verbose logging on; or with
/// the usage events it sends printed as RecordTelemetry prints them, without the fields that
/// every event carries.
enum class JudgementOutput { kPlain, kVerbose, kTelemetry };

/// Runs `judge` in a child process and checks that it decides `result` and prints `printed`;
/// `label` names the case in a failure.
void ExpectJudgement(const std::function<QasValidator::TestResult()>& judge,
                     QasValidator::TestResult result, const std::string& printed,
                     JudgementOutput output, const std::string& label);

/// A judgement that must decide `result` and print `printed`.
struct JudgementCase {
  std::function<QasValidator::TestResult()> judge;
  QasValidator::TestResult result;
  std::string printed;
};

/// ExpectJudgement for each of `cases`.
void ExpectJudgements(std::span<const JudgementCase> cases,
                      JudgementOutput output = JudgementOutput::kPlain);

/// The lines of the load wait of a course, up to the test's own first line.
inline const std::string kBegunAfterLoad =
    "Waiting for the application to run for 1 seconds before testing begins...\n"
    "Starting test...\n";

}  // namespace testsupport
