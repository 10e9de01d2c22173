#include "driver/validator_run_target.h"

#include "lux/lux_capi.h"

namespace QasValidator {

int32_t ValidatorRunTarget::Initialize() { return validator_.Initialize(); }
int32_t ValidatorRunTarget::Shutdown(bool shutdownRuntime) {
  return validator_.Shutdown(shutdownRuntime);
}
double ValidatorRunTarget::TimeInSeconds() { return lux_GetTimeInSeconds(); }
void ValidatorRunTarget::SetUseBreakerBox(bool use) { validator_.SetUseBreakerBox(use); }
void ValidatorRunTarget::SetLoadTimeMs(int32_t milliseconds) {
  validator_.SetLoadTimeMs(milliseconds);
}
void ValidatorRunTarget::SetApplication(const std::string& path,
                                        const std::vector<std::string>& arguments) {
  validator_.SetApplication(path, arguments);
}
void ValidatorRunTarget::SetMaxTimeToFrame(double seconds) {
  validator_.SetMaxTimeToFrame(seconds);
}
void ValidatorRunTarget::SetMinAvgFps(double fps) { validator_.SetMinAvgFps(fps); }
void ValidatorRunTarget::SetPrintFps(bool print) { validator_.SetPrintFps(print); }
void ValidatorRunTarget::SetFpsTestDuration(int32_t seconds) {
  validator_.SetFpsTestDuration(seconds);
}
std::vector<TestEntry> ValidatorRunTarget::GetDefaultTests() { return DefaultTestsOf(validator_); }
std::vector<TestEntry> ValidatorRunTarget::GetExtraTests() { return ExtraTestsOf(validator_); }
void ValidatorRunTarget::PrintSummary() { validator_.PrintSummary(); }

}  // namespace QasValidator
