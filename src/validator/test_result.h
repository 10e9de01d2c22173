#pragma once

#include <cstdint>
#include <string>

namespace QasValidator {

/// Outcome of one test attempt.
enum class TestResult : int32_t {
  Passed = 0,
  Failed = 1,
  Skipped = 2,
  /// An internal, transient failure; shown as "Failed" and run again by the run driver.
  TransientError = 3,
};

/// "Passed", "Failed" or "Skipped" ("Failed" for a transient error, empty for other values),
/// in upper case when `upperCase` is set.
std::string TestResultText(TestResult result, bool upperCase);

/// One finished test attempt, as the summary lists it.
struct TestRecord {
  std::string name;
  TestResult result;
};

}  // namespace QasValidator
