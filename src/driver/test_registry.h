#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "validator/test_result.h"

namespace QasValidator {

class RunTarget;
class Validator;

/// A test procedure bound to its validator.
using TestProcedure = std::function<TestResult()>;

struct TestEntry {
  std::string name;
  TestProcedure procedure;
};

/// The eleven tests run when none is named, in order.
std::vector<TestEntry> DefaultTestsOf(Validator& validator);
/// The five further tests, in order.
std::vector<TestEntry> ExtraTestsOf(Validator& validator);

/// The default tests followed by the extra tests: all sixteen, in the order they are listed.
std::vector<TestEntry> GetAllTests(RunTarget& target);
/// Every test by its exact name.
std::map<std::string, TestProcedure> GetTestMap(RunTarget& target);

/// Runs `procedure`, again while it ends with a transient error, at most three times in all.
void RunTestWithRetry(const TestProcedure& procedure);

}  // namespace QasValidator
