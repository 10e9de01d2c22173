#include "validator/status_codes.h"

namespace QasValidator {

int32_t HResultFromWin32(int64_t code) {
  if (code <= 0) return static_cast<int32_t>(code);
  return static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(code) & 0xFFFFu));
}

TestResult TestResultOfStatus(int32_t status) {
  if (status == 0) return TestResult::Passed;
  return status == kStatusTransientError ? TestResult::TransientError : TestResult::Failed;
}

}  // namespace QasValidator
