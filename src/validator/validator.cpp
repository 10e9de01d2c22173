#include "validator/validator.h"

#include "log/validator_log.h"
#include "lux/lux_capi.h"
#include "runtime/headset.h"
#include "runtime/internal_functions.h"
#include "telemetry/usage_telemetry.h"
#include "validator/version.h"

namespace QasValidator {

Validator::Validator(ValidatorEnvironment environment)
    : waits(std::move(environment.waits)),
      wakeEvent(platform::Event::Create(platform::EventReset::kAuto)),
      hub(environment.hubTiming) {
  ResetApplicationState();
}

Validator::~Validator() { StopEventPump(); }

int32_t Validator::Initialize() {
  if (lux_Initialize(nullptr) != 0) {
    LogRuntimeError("Unable to initialize LibLUX.");
    return kSetupFailure;
  }
  if (LuxLoader::BindInternalFunctions() != 0) {
    LogRuntimeError("Failed to initialize libLUX extensions.");
    return kSetupFailure;
  }
  if (!LuxLoader::IsHeadsetConnected()) {
    Log(LogLevel::Error, {"Corvia HMD is not connected!\n",
                          "Validation tests must be run with HMD connected to the test machine!"});
    return kNoHeadset;
  }
  const int32_t result = BeginRealtimeEventOutput();
  if (result < 0) return result;
  if (useBreakerBox) {
    std::unique_ptr<BreakerBox> opened = OpenBreakerBox();
    if (opened == nullptr) {
      LogError("Unable to set up breaker box, will not use breaker box for tests.");
      useBreakerBox = false;
    }
    std::lock_guard lock(breakerLock);
    breakerBox = std::move(opened);
  }
  ResetApplicationState();
  return result;
}

int32_t Validator::BeginRealtimeEventOutput() {
  const int32_t result = luxi_EnableRealtimeEventOutput(luxTrue);
  if (result != 0) {
    LogRuntimeError("Failed to begin realtime event output.");
    return result;
  }
  return ConnectEventListener();
}

// Teardown may run on the console-control thread while a test runs on the main thread. It
// cancels the validation first, so that the main thread launches nothing more and its waits
// end; it joins the pump thread before the listener goes; and the application locks make the
// quit here and a launch or quit of the test happen one after the other.
int32_t Validator::Shutdown(bool shutdownRuntime) {
  cancelRequested = true;
  WakeWaiters();
  StopEventPump();
  const int32_t result = luxi_EnableRealtimeEventOutput(luxFalse);
  if (result != 0) LogRuntimeError("Failed to terminate realtime event output.");
  if (shutdownRuntime) lux_Shutdown();
  {
    std::lock_guard lock(pumpThreadLock);  // no pump thread runs any more
    listener.reset();
  }
  StopApplication();
  CloseLogFile();
  {
    std::lock_guard lock(breakerLock);  // waits for a command exchange under way
    breakerBox.reset();
  }
  return result;
}

void Validator::SetUseBreakerBox(bool use) { useBreakerBox = use; }

void Validator::SetLoadTimeMs(int32_t milliseconds) {
  loadTimeMs = milliseconds > 0 ? milliseconds : kUnbounded;
}

void Validator::SetApplication(const std::string& path, const std::vector<std::string>& arguments) {
  applicationPath = path;
  applicationArgumentList = arguments;
  applicationArguments.clear();
  if (arguments.empty()) return;
  applicationArguments = "\"" + path + "\"";
  for (const std::string& argument : arguments) applicationArguments += " \"" + argument + "\"";
}

void Validator::SetMaxTimeToFrame(double seconds) { maxTimeToFrameSeconds = seconds; }

void Validator::SetMinAvgFps(double fps) { minAverageFps = fps; }

void Validator::SetPrintFps(bool print) { printFps = print; }

void Validator::SetFpsTestDuration(int32_t seconds) {
  fpsTestDurationSeconds = seconds >= 1 ? seconds : kUnbounded;
}

void Validator::StartTest(const std::string& name) {
  {
    std::lock_guard lock(progressLock);
    progressTestName = name;
  }
  LogInfo("Starting ", name);
  UsageTelemetry::Instance().SendUserAction("Validator_action_StartTest_" + name);
}

TestResult Validator::RunWithApplication(const std::string& name, bool returnAtSession,
                                         const std::function<TestResult()>& body,
                                         const std::function<void()>& prepare) {
  StartTest(name);
  if (prepare) prepare();
  const TestResult started = StartApplication(returnAtSession);
  return ShutdownTest(name, started == TestResult::Passed ? body() : started);
}

TestResult Validator::ShutdownTest(const std::string& name, TestResult result) {
  LogInfo("Cleaning up...");
  SetFakeIadEnabled(false);
  StopEventPump();
  StopApplication();
  hub.SetProximitySensor(false);
  hub.ClearMessages();
  const std::string text = TestResultText(result, true);
  UsageTelemetry::Instance().SendUserAction("Validator_action_ShutdownTest_" + name, text);
  Log(LogLevel::Info, {"Test ", text, "\n"});
  results.push_back({name, result});
  return result;
}

void Validator::PrintSummary() {
  if (results.empty()) return;
  LogInfo("Summary:");
  for (const TestRecord& record : results) {
    Log(LogLevel::Info, {record.name, ": ", TestResultText(record.result, false)});
  }
  LogInfo("Generated by CorviaSQMValidator version ", ValidatorVersion);
}

}  // namespace QasValidator
