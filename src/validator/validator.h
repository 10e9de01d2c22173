#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "validator/test_result.h"

namespace QasValidator {

/// The one object that holds a validation run together: the settings from the command line,
/// the application under test and the results of the tests.
class Validator {
 public:
  /// Largest 32-bit value: a load time that waits for the Enter key, a frame-rate test
  /// duration without bound.
  static constexpr int32_t kUnbounded = 2147483647;
  /// Status of `Initialize`: the runtime or the listener could not be set up.
  static constexpr int32_t kSetupFailure = -3000;
  /// Status of `Initialize`: no headset is connected.
  static constexpr int32_t kNoHeadset = -1010;

  Validator();
  Validator(const Validator&) = delete;
  Validator& operator=(const Validator&) = delete;

  /// Brings the session up: initialises the runtime, binds its internal functions, checks
  /// that a headset is connected and switches realtime event output on. 0 on success, else
  /// the status of the step that failed.
  int32_t Initialize();
  /// Switches the runtime's realtime event output on; 0 on success, else the runtime's result.
  int32_t BeginRealtimeEventOutput();
  /// Ends the session: switches event output off, shuts the runtime down when asked and closes
  /// the log file; returns the status of switching event output off.
  int32_t Shutdown(bool shutdownRuntime);

  void SetUseBreakerBox(bool use);
  /// Milliseconds the application runs before testing begins; 0 or less waits for Enter.
  void SetLoadTimeMs(int32_t milliseconds);
  void SetApplication(const std::string& path, const std::vector<std::string>& arguments);
  void SetMaxTimeToFrame(double seconds);
  void SetMinAvgFps(double fps);
  void SetPrintFps(bool print);
  /// Seconds of the frame-rate test; 0 or less leaves it unbounded.
  void SetFpsTestDuration(int32_t seconds);

  bool UseBreakerBox() const { return useBreakerBox; }
  int32_t LoadTimeMs() const { return loadTimeMs; }
  const std::string& ApplicationPath() const { return applicationPath; }
  /// The application's command line: its quoted path followed by its quoted arguments, or
  /// empty when it gets no arguments.
  const std::string& ApplicationArguments() const { return applicationArguments; }
  const std::vector<std::string>& ApplicationArgumentList() const {
    return applicationArgumentList;
  }
  double MaxTimeToFrameSeconds() const { return maxTimeToFrameSeconds; }
  double MinAverageFps() const { return minAverageFps; }
  bool PrintFps() const { return printFps; }
  int32_t FpsTestDurationSeconds() const { return fpsTestDurationSeconds; }
  const std::vector<TestRecord>& Results() const { return results; }

  /// First step of every test procedure.
  void StartTest(const std::string& name);
  /// Last step of every test procedure: cleans up, records and returns `result`.
  TestResult ShutdownTest(const std::string& name, TestResult result);
  /// Prints the results of all finished test attempts.
  void PrintSummary();

  // Test procedures, one per named test.
  TestResult TestSdkVersion();
  TestResult TestCorviaDLLIncludes();
  TestResult TestLaunchIntoVR();
  TestResult TestFrameRate();
  TestResult TestSubmitFramesWhenVisible();
  TestResult TestSubmitFramesWhenNotVisible();
  TestResult TestSubmitFramesWhenInDash();
  TestResult TestResponseToRecenterRequest();
  TestResult TestAppShouldQuit();
  TestResult CheckForExtraneousFiles();
  TestResult TestAudioOutput();
  TestResult TestMismatchedAdapters();
  TestResult TestResponseToDisplayLost();
  TestResult TestPropertyAccess();
  TestResult RunErrorCapture();
  TestResult TestResponseToIadChanges();

 private:
  /// Ends a test whose procedure this build does not provide yet.
  TestResult TestNotAvailable(const std::string& name);

  bool useBreakerBox = false;
  int32_t loadTimeMs = kUnbounded;
  std::string applicationPath;
  std::string applicationArguments;
  std::vector<std::string> applicationArgumentList;
  double maxTimeToFrameSeconds = 0.0;
  double minAverageFps = 0.0;
  bool printFps = false;
  int32_t fpsTestDurationSeconds = 0;
  std::vector<TestRecord> results;
};

}  // namespace QasValidator
