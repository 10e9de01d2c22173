#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "events/client_socket.h"
#include "validator/frame_statistics.h"
#include "validator/process_record.h"
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
  /// that a headset is connected, switches realtime event output on, connects the event
  /// listener and forgets any event facts. 0 on success, else the status of the step that
  /// failed.
  int32_t Initialize();
  /// Switches the runtime's realtime event output on and connects the event listener to it: 0
  /// on success, else the runtime's result or -3000 when the listener cannot connect.
  int32_t BeginRealtimeEventOutput();
  /// Ends the session: switches event output off, shuts the runtime down when asked, releases
  /// the event listener and closes the log file; returns the status of switching event output
  /// off.
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

  // ---- Realtime events: the listener and the facts its records leave (event_handling.cpp) ----

  /// Port of the runtime's realtime event stream on the loopback address.
  static constexpr uint16_t kRealtimeEventPort = 31482;
  /// How long one round of the event pump waits for released records.
  static constexpr int32_t kPumpWaitMs = 500;

  /// Replaces `listener` with a new one connected to `port` with out-of-order reports
  /// suppressed: 0, or -3000 after "Failed to connect to remote listener".
  int32_t ConnectEventListener(uint16_t port = kRealtimeEventPort);
  /// One round of the event pump: waits up to 500 ms for released records at `events`, then
  /// hands everything that is due to `OnTelemetryEvents`.
  void PumpEventRound(LUX::Telemetry::TClientSocket& events);
  /// Distils a batch of event records into the facts below; a count below 1 does nothing.
  void OnTelemetryEvents(LUX::Telemetry::TelemetryEvent** events, int32_t count);
  /// The record of `processId`, made when there is none. The caller holds `eventLock`.
  ProcessRecord& FindOrCreateProcessRecord(uint32_t processId);
  /// Frames the application delivered among the last 32 compositor frames, scaled to 90 Hz.
  double CurrentFrameRate();
  /// Mean of the frame-rate samples since the last `ResetFrameStatistics`.
  double AverageFrameRate();
  /// Starts a frame-rate measurement.
  void ResetFrameStatistics();
  /// Forgets the event facts of the last application: flags, counters, print switches, the
  /// session process and the process records. `displayLostCount` and the engine
  /// identifications are kept.
  void ResetEventState();

 private:
  friend class ValidatorEventsTest;      // the unit tests feed and read the event facts
  friend class ValidatorEventStreamE2E;  // so does the end-to-end test of the event stream

  void FeedFrameStatistics(const LUX::Telemetry::TelemetryEvent& event);
  void DispatchEvent(const LUX::Telemetry::TelemetryEvent& event);
  void OnRuntimeError(const LUX::Telemetry::TelemetryEvent& event);
  void OnClientConnectInfo(const LUX::Telemetry::TelemetryEvent& event);
  void OnEngineIdentification(const LUX::Telemetry::TelemetryEvent& event);
  void OnSessionCreated(const LUX::Telemetry::TelemetryEvent& event);
  void OnSessionDestroyed(const LUX::Telemetry::TelemetryEvent& event);
  void OnCableState(const LUX::Telemetry::TelemetryEvent& event);
  void OnPropertyRead(const LUX::Telemetry::TelemetryEvent& event);
  /// Whether an SDK or engine report of `processId` (created by `parentId`) is about the
  /// application under test. The caller holds `eventLock`.
  bool IsApplicationProcessLocked(uint32_t processId, uint32_t parentId) const;

  // The event pump thread writes these facts and the main thread reads them. The flags and
  // counters are atomic so that the status poll reads them without a lock; so are the print
  // switches and the launched process id, which the main thread may set while the pump runs.
  std::unique_ptr<LUX::Telemetry::TClientSocket> listener;
  std::atomic<bool> displayLost{false};
  std::atomic<bool> transientError{false};
  /// Id of the process that the validator launched; 0 when none.
  std::atomic<uint32_t> launchedProcessId{0};
  /// Id of the process that owns the application's runtime session; 0 when not known.
  std::atomic<uint32_t> sessionPid{0};
  std::atomic<bool> printVersionEvents{false};
  std::atomic<bool> reportRuntimeErrors{false};
  std::atomic<uint32_t> runtimeErrorCount{0};
  std::atomic<uint32_t> displayLostCount{0};
  std::mutex eventLock;
  ProcessRecordMap processRecords;                                           // guarded by eventLock
  std::unordered_map<uint32_t, EngineIdentification> engineIdentifications;  // guarded by eventLock
  std::mutex frameStatisticsLock;   // taken alone, never together with eventLock
  FrameStatistics frameStatistics;  // guarded by frameStatisticsLock

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
