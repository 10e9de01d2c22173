#pragma once

#include <string>
#include <vector>

#include "driver/run_recorder.h"

namespace QasValidator {

/// The JUnit XML report of a validation run (--junit_report), in the form that GitLab, Jenkins
/// and GitHub Actions read: a `testsuites` root holding one `testsuite` named
/// "CorviaSqmValidator" with its counts, total time, start time and host name, and one
/// `testcase` per test run in run order. A failed test has a `failure` whose message and text
/// are its Error lines, a skipped test a `skipped`, a test the run did not finish (a run
/// cancelled under it) an `error`; `system-out` holds every console line of the test, retried
/// attempts included. The suite's properties name the guideline pages that each test's
/// findings cite ("<test> guideline") and the results of a retried test's attempts
/// ("<test> attempts", "Failed, Passed"): the common JUnit schemas allow properties only there.
class JunitReport {
 public:
  /// A report at `path` of a run that starts now, on this computer.
  explicit JunitReport(std::string path);

  /// Writes the report of `runs` to a temporary file beside `path` and renames it to `path`,
  /// so that the file at `path` is never half written. False when that fails, after
  /// "Failed to write the JUnit report <path> Error: <reason>" on standard error.
  bool Write(const std::vector<TestRun>& runs) const;

 private:
  const std::string path_;
  const std::string timestamp_;
  const std::string hostname_;
  const double start_;
};

}  // namespace QasValidator
