#include "validator/test_result.h"

#include <cctype>

namespace QasValidator {

std::string TestResultText(TestResult result, bool upperCase) {
  std::string text;
  switch (result) {
    case TestResult::Passed:
      text = "Passed";
      break;
    case TestResult::Failed:
    case TestResult::TransientError:
      text = "Failed";
      break;
    case TestResult::Skipped:
      text = "Skipped";
      break;
  }
  if (upperCase) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

}  // namespace QasValidator
