#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "breaker/breaker_box.h"
#include "events/client_socket.h"
#include "hub/hub_remote_control.h"
#include "platform/event.h"
#include "platform/process_handle.h"
#include "platform/process_launch.h"
#include "validator/frame_statistics.h"
#include "validator/process_record.h"
#include "validator/test_result.h"
#include "validator/wait_services.h"

namespace QasUtils {
class MMDevice;
}

namespace QasValidator {

struct SoundWaitResult;

/// What the Validator takes from its surroundings besides the runtime: the time limits of the
/// shell client and the clock, pauses and keyboard of its waits. The system's by default.
struct ValidatorEnvironment {
  HubTiming hubTiming;
  WaitServices waits;
};

/// The pace of a wait whose predicate reads only what wakes the wait: the facts of a delivered
/// event batch, the end of the session process, the cancellation of the validation.
inline constexpr std::chrono::milliseconds kUntilWoken = std::chrono::milliseconds::max();
/// The pace of a wait whose predicate pauses itself between two polls (of the shell, say).
inline constexpr std::chrono::milliseconds kSelfPaced{0};

/// How a wait paces its rounds and what its progress line says.
struct WaitOptions {
  /// The longest pause between two rounds: kUntilWoken, kSelfPaced, or the pace at which to poll
  /// what cannot wake the wait (an audio meter, say).
  std::chrono::milliseconds pollInterval = kUntilWoken;
  /// What the wait is for, shown on the progress line ("measuring the frame rate"); empty shows
  /// no line.
  std::string_view activity = {};
  /// A further process whose end wakes the wait.
  platform::ProcessHandle* process = nullptr;
  /// Whether input at the console wakes the wait (a wait for a key).
  bool keys = false;
};

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

  /// Connects the shell client at once and forgets any application.
  explicit Validator(ValidatorEnvironment environment = {});
  /// Stops the event pump thread if one still runs; talks to nothing.
  ~Validator();
  Validator(const Validator&) = delete;
  Validator& operator=(const Validator&) = delete;

  /// Brings the session up: initialises the runtime, binds its internal functions, checks
  /// that a headset is connected, switches realtime event output on, connects the event
  /// listener, opens the breaker box when asked to (and stops using it when there is none) and
  /// forgets any event facts. 0 on success, else the status of the step that failed.
  int32_t Initialize();
  /// Switches the runtime's realtime event output on and connects the event listener to it: 0
  /// on success, else the runtime's result or -3000 when the listener cannot connect.
  int32_t BeginRealtimeEventOutput();
  /// Ends the session: cancels the validation, stops the event pump, switches event output
  /// off, shuts the runtime down when asked, releases the event listener, quits the
  /// application, closes the log file and releases the breaker box; returns the status of
  /// switching event output off.
  /// Safe on the console-control thread while a test runs on the main thread.
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

  /// Unplugs the headset's HDMI cable through the breaker box ("HDMI=0"), or asks the operator
  /// to when no box is in use. False, after an Error line, when the box does not do it.
  bool DisconnectHDMI();
  /// Plugs the cable back in ("HDMI=1"), or asks the operator to.
  bool ConnectHDMI();

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
  /// The frame of a test procedure that needs the application: starts the test, runs
  /// `prepare` (if any), starts the application (`StartApplication`), runs `body` when that
  /// passed, and ends the test with the start's result or the body's.
  TestResult RunWithApplication(const std::string& name, bool returnAtSession,
                                const std::function<TestResult()>& body,
                                const std::function<void()>& prepare = {});
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

  /// Reads the peak meters of `devices`, in order and without pause, until more than 1.5 s have
  /// passed since the first sound or 10 s in all, with the status poll: the devices whose level
  /// rose above 0.01, and a status other than `Passed` only when the application or the run
  /// failed meanwhile. Meters not attached yet are attached; the devices' errors pass through.
  SoundWaitResult WaitForSound(std::vector<QasUtils::MMDevice>& devices);

  /// Whether TestSdkVersion warns about an old engine plug-in: for the engine "Unity" whose
  /// version contains "UE4" and whose plug-in version (the fourth string) is below 1.23.0. A
  /// plug-in version that does not parse is not taken for an old one, as nothing shows it is.
  static bool IsPluginVersionOld(const std::string& engineName, const std::string& engineVersion,
                                 const std::string& pluginName, const std::string& pluginVersion);

  // ---- The application under test (application_*.cpp, session_search.cpp) ----

  /// How long the launch waits for the application's session, in ms.
  static constexpr int32_t kSessionWaitMs = 30000;
  /// How long a quit waits for the application to end after the close request, and after the
  /// termination, in seconds.
  static constexpr float kQuitWaitSeconds = 20.0f;
  static constexpr float kTerminationWaitSeconds = 2.0f;

  /// Starts the event pump, reports the headset worn and sets the application up. `Passed`
  /// when the application runs, has a runtime session and the test may begin.
  TestResult StartApplication(bool returnAtSession);
  /// Launches the application unless it runs, waits for its session (dismissing the health
  /// and safety warning), opens the session process and, unless `returnAtSession`, lets it
  /// load for the load time or until the Enter key.
  TestResult SetUpApplication(bool returnAtSession);
  /// Closes the session process and quits the application if one was launched.
  void StopApplication();
  /// The status poll of every wait: cancellation, transient runtime error, the end of the
  /// session process. 0 while all is well, else a negative status code.
  int32_t CheckApplicationState();
  /// Asks `predicate` until it holds (0), `timeoutMs` passes (-1003) or, with `checkState`,
  /// the status poll reports a negative code (that code). Between two rounds the wait sleeps
  /// until something wakes it (an event batch delivered, the session process ending, the
  /// validation cancelled), the pace of `options` asks again, or the time is up; the time-out
  /// stays exact to the millisecond. An empty `predicate` asks nothing: delivered batches do
  /// not wake the wait then. `options.activity` shows a progress line on a terminal.
  int32_t WaitFor(const std::function<bool()>& predicate, int32_t timeoutMs, bool checkState,
                  const WaitOptions& options = {});
  /// Waits `milliseconds` with the status poll: 0 when the time passed, else the poll's code.
  int32_t WaitMilliseconds(int32_t milliseconds, std::string_view activity = {});
  /// Waits for `process` to end for `seconds`: 0 when it ended, 258 on time-out, else the
  /// system's error code (after "WaitForProcessToFinish failed."). With an `activity` and a
  /// terminal, a progress line counts the seconds down.
  uint32_t WaitForProcessToFinish(platform::ProcessHandle& process, float seconds,
                                  std::string_view activity = {});
  /// Forgets the launched application and the event facts about it.
  void ResetApplicationState();
  /// Switches the runtime's simulated inter-axial-distance change on or off ("FakeIADEnabled").
  bool SetFakeIadEnabled(bool enable);
  /// The simulated inter-axial distance ("FakeIAD").
  bool SetFakeIad(float value);
  /// Id of the process that owns the application's runtime session; 0 when not known.
  uint32_t SessionPid() const { return sessionPid; }

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
  /// Calls `use` with the record of the session process (made when there is none) under
  /// `eventLock`, and returns what it returns. The event pump waits for the lock meanwhile.
  template <typename Use>
  decltype(auto) WithSessionRecord(Use&& use) {
    std::lock_guard lock(eventLock);
    return std::forward<Use>(use)(FindOrCreateProcessRecord(sessionPid));
  }
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
  friend class ValidatorEventsTest;  // the unit tests feed and read the event facts
  friend class ValidatorTestAccess;  // the unit tests drive the application control

  /// Proof that the caller holds `applicationLock`.
  using ApplicationLock = std::unique_lock<std::mutex>;
  /// What `FindFocusedSession` and `SetUpApplication` share while they look for the session.
  struct SessionSearch {
    bool newerShell = false;  // the shell answers the dash-visibility query
    bool inFront = false;     // the shell has an application in front
    bool registered = false;  // its session is known and frequent events are on
  };

  /// Creates the application's process: 0, 1223 when cancelled, else an HRESULT.
  int32_t LaunchApplication(const ApplicationLock& held);
  /// Asks the application to close, terminates it after 20 s and forgets it: 0 or an HRESULT.
  int32_t QuitApplication(const ApplicationLock& held);
  /// The session wait of the set-up: `FindFocusedSession`, which paces itself, for up to 30 s
  /// with the status poll.
  int32_t WaitForSession(SessionSearch& search);
  /// The predicate of the session wait: true once the application in front has a session.
  bool FindFocusedSession(SessionSearch& search);
  /// The id of the process in front: the focused process on a newer shell, the top
  /// application's render process on an older one; 0 when the shell does not say.
  uint32_t FrontProcessId(const SessionSearch& search);
  /// Whether `processId` has a record with a session. The caller holds `eventLock`.
  bool HasSessionLocked(uint32_t processId);
  /// Opens the session process: false after "INTERNAL ERROR: OpenProcess failure.".
  bool OpenSessionProcess();
  /// Lets the application load for the load time or until the Enter key; 0 or the status
  /// poll's negative code.
  int32_t WaitForLoading();
  /// Waits, without a bound, until the Enter key is pressed (0) or the status poll reports a
  /// negative code (that code). A `predicate` is asked too, at the pace `pollInterval`; true
  /// ends the wait with 0.
  int32_t WaitForEnterKey(const std::function<bool()>& predicate = {},
                          std::chrono::milliseconds pollInterval = kUntilWoken);
  /// Queries `pressed` whenever input arrives, without a bound and without the status poll,
  /// until the key counts as pressed.
  void WaitForKeyPress(const std::function<bool()>& pressed);
  /// A pause between two rounds of a wait, until `until` at the latest. The validator's wake-up
  /// ends it early, and so does `process` ending (the session process's exit code is then read
  /// at once and `process` set to null, so that its lasting signal wakes nothing more) and,
  /// with `keys`, input at the console.
  void PauseUntil(WaitServices::Clock::time_point until, platform::Waitable*& process, bool keys);
  /// Wakes the wait that pauses on the main thread, so that it asks again.
  void WakeWaiters();
  /// After the pump delivered records: wakes the main thread's wait unless it ignores them.
  void OnBatchDelivered();
  /// Reads the session process's exit code (if it is open) into `exitCode`; a change wakes the
  /// waits.
  void RefreshExitCode();
  /// The session process, shared with the caller so that it stays open while the caller waits
  /// on it; null when none is open.
  std::shared_ptr<platform::ProcessHandle> SessionProcess();
  /// The name of the test that runs, for the progress lines.
  std::string ProgressTestName();
  /// Starts the event pump thread.
  void StartEventPump();
  /// Stops the event pump thread and waits for it to end.
  void StopEventPump();
  /// Body of the event pump thread: reads the session process's exit code, then one round of
  /// `events` (none: a pause of the same length), until `stopPump`.
  void PumpEvents(LUX::Telemetry::TClientSocket* events);
  /// Closes the session process (if open).
  void CloseSessionProcess();
  /// Forgets the launched application. The caller holds `applicationLock`.
  void ForgetApplication(const ApplicationLock& held);

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

  WaitServices waits;

  // The event pump thread of the current test. Starting and joining it, and replacing or
  // destroying `listener` (which the pump thread uses), happen under pumpThreadLock, so that
  // teardown on the console-control thread and a test on the main thread never do it at once.
  std::mutex pumpThreadLock;
  std::thread pumpThread;                                   // guarded by pumpThreadLock
  std::unique_ptr<LUX::Telemetry::TClientSocket> listener;  // guarded by pumpThreadLock
  std::atomic<bool> stopPump{false};

  // The launched application. applicationLock is held for a whole launch or quit (a quit can
  // take 22 s), so that teardown on the console-control thread and a test on the main thread
  // never launch or quit at once. Lock order: applicationLock, then sessionProcessLock or
  // eventLock.
  std::mutex applicationLock;
  platform::ProcessInformation launchedProcess;  // guarded by applicationLock
  bool applicationLaunched = false;              // guarded by applicationLock
  // The session process, read by the pump thread every round; held only briefly.
  std::mutex sessionProcessLock;
  std::shared_ptr<platform::ProcessHandle> sessionProcessHandle;  // guarded by sessionProcessLock
  /// Last exit code of the session process, written by the pump thread (and by a wait that saw
  /// the process end); 259 while it runs.
  std::atomic<uint32_t> exitCode{platform::kStillActive};
  /// Set by `Shutdown`: nothing is launched any more and every wait ends.
  std::atomic<bool> cancelRequested{false};
  /// Wakes the paused wait of the main thread: set by the event pump after it delivered records
  /// to a wait that does not ignore them, read a new exit code or a transient error, and by
  /// `Shutdown`. None when the system had no event to give; the waits then poll every
  /// millisecond.
  std::optional<platform::Event> wakeEvent;
  /// How many waits in progress ask nothing about the event facts: waits of the main thread that
  /// only a time, the session process's end or a key can end. While there is one, the 30 or so
  /// batches a second that the pump delivers wake nothing; otherwise they wake every pause. (A
  /// wait that may run beside it, a quit's on the console-control thread, is woken by the
  /// process it waits for.)
  std::atomic<int> batchIgnoringWaits{0};
  // The name of the running test, set on the main thread and read by the progress lines of
  // waits on any thread (the quit of a teardown on the console-control thread).
  std::mutex progressLock;
  std::string progressTestName;  // guarded by progressLock

  // The event pump thread writes these facts and the main thread reads them. The flags and
  // counters are atomic so that the status poll reads them without a lock; so are the print
  // switches and the launched process id, which the main thread may set while the pump runs.
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

  /// Switches the HDMI cable for DisconnectHDMI and ConnectHDMI.
  bool SwitchHdmi(bool connected);
  /// Waits, without a time limit, until `displayLost` is `lost`: false, after an Error line,
  /// when the validation is cancelled first.
  bool WaitForDisplayLost(bool lost);
  /// The steps of TestResponseToDisplayLost after the application has started.
  TestResult RespondToDisplayLoss();
  /// The steps of TestMismatchedAdapters.
  TestResult RenderOnTheHeadsetsAdapter();
  /// TestAudioOutput between its start and its end; the audio devices' errors pass through.
  TestResult CheckAudioOutput();
  /// Announces the sound wait, waits for sound and says so when the wait failed.
  SoundWaitResult ListenToApplication(std::vector<QasUtils::MMDevice>& devices);

  /// Takes the application out of view for TestSubmitFramesWhenNotVisible: the headset comes
  /// off on a newer shell, an older one switches to its menu. False when an older shell has
  /// not shown its menu within the bound of the wait (after an Error line).
  bool TakeApplicationOutOfView();

  bool useBreakerBox = false;
  // The breaker box, used by the tests on the main thread and released by teardown, which may
  // run on the console-control thread; the lock is held for a whole command exchange.
  std::mutex breakerLock;
  std::unique_ptr<BreakerBox> breakerBox;  // guarded by breakerLock
  int32_t loadTimeMs = kUnbounded;
  std::string applicationPath;
  std::string applicationArguments;
  std::vector<std::string> applicationArgumentList;
  double maxTimeToFrameSeconds = 0.0;
  double minAverageFps = 0.0;
  bool printFps = false;
  int32_t fpsTestDurationSeconds = 0;
  HubRemoteControl hub;
  std::vector<TestRecord> results;
};

}  // namespace QasValidator
