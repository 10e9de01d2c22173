#pragma once

#include "driver/run_target.h"
#include "validator/validator.h"

namespace QasValidator {

/// Drives the real Validator.
class ValidatorRunTarget final : public RunTarget {
 public:
  explicit ValidatorRunTarget(Validator& validator) : validator_(validator) {}

  int32_t Initialize() override;
  int32_t Shutdown(bool shutdownRuntime) override;
  double TimeInSeconds() override;
  void SetUseBreakerBox(bool use) override;
  void SetLoadTimeMs(int32_t milliseconds) override;
  void SetApplication(const std::string& path, const std::vector<std::string>& arguments) override;
  void SetMaxTimeToFrame(double seconds) override;
  void SetMinAvgFps(double fps) override;
  void SetPrintFps(bool print) override;
  void SetFpsTestDuration(int32_t seconds) override;
  std::vector<TestEntry> GetDefaultTests() override;
  std::vector<TestEntry> GetExtraTests() override;
  void PrintSummary() override;

 private:
  Validator& validator_;
};

}  // namespace QasValidator
