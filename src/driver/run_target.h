#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/test_registry.h"

namespace QasValidator {

/// The validator as the main flow drives it: set-up, settings, the tests it offers, the
/// summary and teardown. `ValidatorRunTarget` is the real one.
class RunTarget {
 public:
  virtual ~RunTarget() = default;

  virtual int32_t Initialize() = 0;
  virtual int32_t Shutdown(bool shutdownRuntime) = 0;
  /// The runtime's clock in seconds; 0.0 when it is not available.
  virtual double TimeInSeconds() = 0;

  virtual void SetUseBreakerBox(bool use) = 0;
  virtual void SetLoadTimeMs(int32_t milliseconds) = 0;
  virtual void SetApplication(const std::string& path,
                              const std::vector<std::string>& arguments) = 0;
  virtual void SetMaxTimeToFrame(double seconds) = 0;
  virtual void SetMinAvgFps(double fps) = 0;
  virtual void SetPrintFps(bool print) = 0;
  virtual void SetFpsTestDuration(int32_t seconds) = 0;

  virtual std::vector<TestEntry> GetDefaultTests() = 0;
  virtual std::vector<TestEntry> GetExtraTests() = 0;
  virtual void PrintSummary() = 0;
};

}  // namespace QasValidator
