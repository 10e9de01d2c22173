#include <gtest/gtest.h>
#include <json/json.h>

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <optional>
#include <string>

#include "log/validator_log.h"
#include "platform/process_handle.h"
#include "platform/process_launch.h"
#include "support/child_process.h"
#include "support/fake_time.h"
#include "support/validator_surroundings.h"
#include "support/validator_test_access.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// Launching, watching and quitting the application under test, and the waits, against an
// in-test shell service and a stand-in for the runtime's settings. Waits run on a fake clock
// that moves only when the validator sleeps, so a 30-second session wait takes no real time.

namespace QasValidator {

using testsupport::Answering;
using testsupport::FakeTime;
using testsupport::PidAnswer;
using testsupport::RequestPaths;
using testsupport::RunInChild;
using testsupport::SequenceIdOf;
using testsupport::ShellAnswer;
using testsupport::ShellMessage;
using testsupport::ValidatorSurroundings;

class ApplicationControlTest : public testing::Test, protected ValidatorTestAccess {
 protected:
  /// Runs `body` in a child process with verbose logging; expects it to return 0. Returns
  /// what it printed, without the shell client's own verbose lines.
  static std::string Printed(const std::function<int()>& body) {
    const auto run = RunInChild([&] {
      SetVerboseLogging(true);
      return body();
    });
    EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
    return testsupport::WithoutShellClientLines(run.out);
  }
};

namespace {

using namespace std::chrono_literals;

const char kTransientMessage[] =
    "ERROR: Transient internal error occurred. Please try running the test again.\n"
    "If issue persists after several re-runs, please report it at\n"
    "https://developer.corvia.com/bugs/\n";

TEST(StatusCodes, OnlyTheTransientErrorIsRetried) {
  EXPECT_EQ(TestResultOfStatus(0), TestResult::Passed);
  EXPECT_EQ(TestResultOfStatus(kStatusTransientError), TestResult::TransientError);
  for (const int32_t code :
       {kStatusWaitTimeout, kStatusCancelled, kStatusApplicationCrashed, kStatusApplicationQuit,
        kStatusLaunchCancelled, HResultFromWin32(2), -3000}) {
    EXPECT_EQ(TestResultOfStatus(code), TestResult::Failed) << code;
  }
}

TEST(StatusCodes, WindowsErrorsBecomeHResults) {
  EXPECT_EQ(HResultFromWin32(2), static_cast<int32_t>(0x80070002u));
  EXPECT_EQ(HResultFromWin32(2), -2147024894);
  EXPECT_EQ(HResultFromWin32(0x12345), static_cast<int32_t>(0x80072345u));
  EXPECT_EQ(HResultFromWin32(258), static_cast<int32_t>(0x80070102u));
  EXPECT_EQ(HResultFromWin32(0), 0);
  EXPECT_EQ(HResultFromWin32(-5), -5);
}

TEST_F(ApplicationControlTest, StatusPollIsQuietWhileAllIsWell) {
  EXPECT_EQ(Printed([] {
              Validator validator;
              if (CheckState(validator) != 0) return 1;  // no session process yet
              SetSessionProcess(validator, platform::kStillActive);
              return CheckState(validator);
            }),
            "");
}

TEST_F(ApplicationControlTest, StatusPollReportsAnApplicationThatQuitOnlyInVerboseMode) {
  EXPECT_EQ(Printed([] {
              Validator validator;
              SetSessionProcess(validator, 0);
              return CheckState(validator) == kStatusApplicationQuit ? 0 : 1;
            }),
            "Application quit with exit code 0\n");
  const auto quiet = RunInChild([] {
    Validator validator;
    SetSessionProcess(validator, 0);
    return CheckState(validator) == kStatusApplicationQuit ? 0 : 1;
  });
  EXPECT_EQ(quiet.exitStatus, 0);
  EXPECT_EQ(quiet.out, "");
}

TEST_F(ApplicationControlTest, StatusPollReportsACrashWithTheUnsignedExitCode) {
  EXPECT_EQ(Printed([] {
              Validator validator;
              SetSessionProcess(validator, 0xC0000005);
              return CheckState(validator) == kStatusApplicationCrashed ? 0 : 1;
            }),
            "ERROR: Application crashed with exit code 3221225477\n");
}

TEST_F(ApplicationControlTest, StatusPollPutsCancellationBeforeTheTransientErrorBeforeTheExit) {
  EXPECT_EQ(Printed([] {
              Validator validator;
              SetSessionProcess(validator, 3);
              TransientError(validator) = true;
              if (CheckState(validator) != kStatusTransientError) return 1;
              Cancelled(validator) = true;
              return CheckState(validator) == kStatusCancelled ? 0 : 2;
            }),
            std::string(kTransientMessage) + "ERROR: Validation was cancelled\n");
}

// The waits on the injected clock: the fake pause lasts its whole time unless the validator's
// wake-up or an ended process signals it, so each case shows how often the wait asks its
// predicate, when it ends and what its progress line says.
TEST_F(ApplicationControlTest, WaitsSleepUntilWokenPolledOrDueAndKeepTheirDeadline) {
  struct Case {
    const char* what;
    int32_t timeoutMs;
    WaitOptions options;
    bool wokenFirst;  // the wake-up is set before the wait
    int trueAtCall;   // 0: the predicate never holds
    int32_t result;
    int calls;
    std::chrono::milliseconds elapsed;
    std::vector<std::string> progress;
  };
  const std::vector<Case> cases = {
      {"sleeps to the time-out", 5000, {}, false, 0, kStatusWaitTimeout, 1, 5000ms, {}},
      {"no time, no question", 0, {}, false, 0, kStatusWaitTimeout, 0, 0ms, {}},
      {"a wake-up asks at once", 100, {}, true, 2, 0, 2, 0ms, {}},
      {"polls at its pace", 50, {.pollInterval = 10ms}, false, 0, kStatusWaitTimeout, 5, 50ms, {}},
      {"holds at a poll", 100, {.pollInterval = 10ms}, false, 3, 0, 3, 20ms, {}},
      {"counts the seconds down",
       2500,
       {.activity = "measuring"},
       false,
       0,
       kStatusWaitTimeout,
       3,
       2500ms,
       {"measuring, 3 s left", "measuring, 2 s left", "measuring, 1 s left", ""}},
  };
  for (const Case& c : cases) {
    FakeTime time;
    std::vector<std::string> progress;
    WaitServices services = time.Services();
    services.showProgress = [&](std::string_view line) { progress.emplace_back(line); };
    Validator validator({{}, std::move(services)});
    if (c.wokenFirst) Wake(validator);
    int calls = 0;
    EXPECT_EQ(
        validator.WaitFor([&] { return ++calls == c.trueAtCall; }, c.timeoutMs, true, c.options),
        c.result)
        << c.what;
    EXPECT_EQ(calls, c.calls) << c.what;
    EXPECT_EQ(time.Elapsed(), c.elapsed) << c.what;
    EXPECT_EQ(progress, c.progress) << c.what;
  }
}

TEST_F(ApplicationControlTest, WaitForEndsOnTheFirstNegativeStatus) {
  const std::string printed = Printed([] {
    FakeTime time;
    Validator validator({{}, time.Services()});
    // The transient error arrives with an event batch, whose delivery wakes the wait.
    const auto errorArrives = [&] {
      TransientError(validator) = true;
      Wake(validator);
      return false;
    };
    if (validator.WaitFor(errorArrives, 100, true) != kStatusTransientError) return 1;
    if (time.Elapsed() != 0ms) return 2;
    // Without the status poll the error does not end the wait.
    return validator.WaitFor([] { return false; }, 10, false) == kStatusWaitTimeout ? 0 : 3;
  });
  EXPECT_EQ(printed, kTransientMessage);
}

TEST_F(ApplicationControlTest, TheEndOfTheSessionProcessWakesTheWaitAtOnce) {
  EXPECT_EQ(Printed([] {
              platform::ProcessInformation ended;
              if (!platform::StartApplicationProcess({"/bin/true", "", {}}, ended)) return 1;
              platform::WaitForSingle(*ended.process, platform::kInfinite);
              FakeTime time;
              Validator validator({{}, time.Services()});
              SetSessionProcess(validator, platform::kStillActive, ended.processId);
              // No event pump runs: the wait reads the exit code itself when the process ends.
              if (validator.WaitMilliseconds(20000) != kStatusApplicationQuit) return 2;
              return time.Elapsed() == 0ms ? 0 : 3;
            }),
            "Application quit with exit code 0\n");
}

TEST_F(ApplicationControlTest, TheQuitWaitCountsItsSecondsDownOnATerminal) {
  EXPECT_EQ(Printed([] {
              FakeTime time;
              WaitServices services = time.Services();
              services.showProgress = [](std::string_view line) {
                std::cout << "[progress] " << line << std::endl;
              };
              Validator validator({{}, std::move(services)});
              validator.StartTest("TestAppShouldQuit");
              std::optional<platform::ProcessHandle> running =
                  platform::ProcessHandle::Open(platform::CurrentProcessId());
              const uint32_t result = validator.WaitForProcessToFinish(*running, 1.5f, "quitting");
              return result == platform::kWaitTimeout && time.Elapsed() == 1500ms ? 0 : 1;
            }),
            "Starting TestAppShouldQuit\n"
            "[progress] TestAppShouldQuit: quitting, 2 s left\n"
            "[progress] TestAppShouldQuit: quitting, 1 s left\n"
            "[progress] \n");
}

TEST_F(ApplicationControlTest, WaitMillisecondsCountsTheTimeOutAsSuccess) {
  FakeTime time;
  Validator validator({{}, time.Services()});
  EXPECT_EQ(validator.WaitMilliseconds(1500), 0);
  EXPECT_EQ(time.Elapsed(), 1500ms);
}

TEST_F(ApplicationControlTest, WaitForSleepsOnTheSystemsWaitInsteadOfSpinning) {
  Validator validator;
  int calls = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(validator.WaitFor([&] { return ++calls, false; }, 30, true), kStatusWaitTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_EQ(calls, 1);
}

// ---- The session search ----

TEST_F(ApplicationControlTest, NewerShellDismissesTheWarningAndRegistersTheFocusedSession) {
  std::string printed = Printed([] {
    std::atomic<int> warnings{1};
    ValidatorSurroundings surroundings(
        Answering([&](const std::string& path) -> std::optional<ShellAnswer> {
          if (path == "/life_cycle/get_focused_pid") return PidAnswer(4321);
          if (path == "/life_cycle/get_hsw_needed") {
            return ShellAnswer{"HSW_NEEDED_UPDATE",
                               warnings-- > 0 ? R"({"needed":true})" : R"({"needed":false})"};
          }
          return std::nullopt;
        }));
    FakeTime time;
    Validator validator({{}, time.Services()});
    AddSession(validator, 4321);
    if (WaitForSession(validator, true) != 0) return 1;
    if (validator.SessionPid() != 4321) return 2;
    if (time.Elapsed() != 1000ms) return 3;  // a second between the two looks
    if (surroundings.settings.Calls() != std::vector<std::string>{"FrequentTelEventPid=4321"}) {
      return 4;
    }
    return RequestPaths(surroundings.shell) ==
                   std::vector<std::string>{"/life_cycle/get_focused_pid",
                                            "/life_cycle/get_hsw_needed", "/life_cycle/hsw_acked",
                                            "/life_cycle/get_focused_pid",
                                            "/life_cycle/get_focused_pid"}
               ? 0
               : 5;
  });
  EXPECT_EQ(printed, "Dismissing the health and safety warning\n");
}

TEST_F(ApplicationControlTest, OlderShellAnswersTheWarningPromptAndAsksForTheTopApplication) {
  std::string printed = Printed([] {
    std::atomic<int> locations{0};
    ValidatorSurroundings surroundings(
        Answering([&](const std::string& path) -> std::optional<ShellAnswer> {
          if (path == "/life_cycle/get_actual_location") {
            return ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", locations++ == 0
                                                                 ? R"({"location":"HSW"})"
                                                                 : R"({"location":"APP"})"};
          }
          if (path == "/life_cycle/get_top_app_render_pid") return PidAnswer(99);
          return std::nullopt;
        }));
    FakeTime time;
    Validator validator({{}, time.Services()});
    AddSession(validator, 99);
    if (WaitForSession(validator, false) != 0) return 1;
    // A second after the warning and a second between the two looks: the search paces itself.
    if (validator.SessionPid() != 99 || time.Elapsed() != 2000ms) return 2;
    return RequestPaths(surroundings.shell) ==
                   std::vector<std::string>{
                       "/life_cycle/get_actual_location", "/life_cycle/prompt_response",
                       "/life_cycle/get_actual_location", "/life_cycle/get_top_app_render_pid",
                       "/life_cycle/get_top_app_render_pid"}
               ? 0
               : 3;
  });
  EXPECT_EQ(printed, "Dismissing the health and safety warning\n");
}

TEST_F(ApplicationControlTest, AFrontProcessWithoutASessionIsNotRegistered) {
  std::string printed = Printed([] {
    ValidatorSurroundings surroundings(
        Answering([](const std::string& path) -> std::optional<ShellAnswer> {
          if (path == "/life_cycle/get_focused_pid") return PidAnswer(77);
          if (path == "/life_cycle/get_hsw_needed") return ShellAnswer{"HSW_NEEDED_UPDATE", "{}"};
          return std::nullopt;
        }));
    FakeTime time;
    Validator validator({{}, time.Services()});
    AddRecordWithoutSession(validator, 77);  // a record without a session does not count
    if (WaitForSession(validator, true) != kStatusWaitTimeout) return 1;
    if (validator.SessionPid() != 0 || !surroundings.settings.Calls().empty()) return 2;
    // Rounds of 500 ms and a pause of 1 ms until 30 s have passed.
    return time.Elapsed() >= 30000ms && time.Elapsed() < 30600ms ? 0 : 3;
  });
  std::string expected;
  for (int round = 0; round < 60; ++round) {
    expected += "Top app PID(77) is not in active PID list yet.\n";
  }
  EXPECT_EQ(printed, expected);
}

TEST_F(ApplicationControlTest, RefusedFrequentEventsEndTheProgramWithStatusOne) {
  const auto run = RunInChild([] {
    ValidatorSurroundings surroundings(
        Answering([](const std::string& path) -> std::optional<ShellAnswer> {
          if (path == "/life_cycle/get_focused_pid") return PidAnswer(5);
          if (path == "/life_cycle/get_hsw_needed") return ShellAnswer{"HSW_NEEDED_UPDATE", "{}"};
          return std::nullopt;
        }),
        false);
    FakeTime time;
    Validator validator({{}, time.Services()});
    AddSession(validator, 5);
    WaitForSession(validator, true);
    return 0;
  });
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "ERROR: INTERNAL ERROR: Failed to request for frequent events.\n");
}

// ---- Set-up, load wait and quit with real application processes ----

TEST_F(ApplicationControlTest, ALaunchFailureReportsTheSystemErrorAndTheHResult) {
  EXPECT_EQ(Printed([] {
              ValidatorSurroundings surroundings;
              Validator validator;
              validator.SetApplication("/nonexistent/app", {});
              if (validator.SetUpApplication(false) != TestResult::Failed) return 1;
              return surroundings.shell.Requests().empty() ? 0 : 2;
            }),
            "ERROR: Could not start the application.\n\tSystem Error Code: 2\n\tNo such file or "
            "directory\n"
            "ERROR: Setup test failed because application couldn't be started. HRESULT: "
            "-2147024894\n");
}

TEST_F(ApplicationControlTest, ACancelledValidationLaunchesNothing) {
  EXPECT_EQ(Printed([] {
              ValidatorSurroundings surroundings;
              Validator validator;
              validator.SetApplication("/bin/sleep", {"30"});
              Cancelled(validator) = true;
              if (validator.SetUpApplication(false) != TestResult::Failed) return 1;
              return ApplicationLaunched(validator) ? 2 : 0;
            }),
            "ERROR: Application launch was cancelled\n"
            "ERROR: Setup test failed because application couldn't be started. HRESULT: 1223\n");
}

TEST_F(ApplicationControlTest, TheApplicationRunsForTheLoadTimeAndIsQuitByItsCloseRequest) {
  EXPECT_EQ(Printed([] {
              FrontApplicationRig rig;
              Validator& subject = rig.validator;
              subject.SetLoadTimeMs(1500);
              if (subject.SetUpApplication(false) != TestResult::Passed) return 1;
              const uint32_t launched = LaunchedProcessId(subject);
              if (subject.SessionPid() != launched || !SessionProcessOpen(subject)) return 2;
              if (rig.surroundings.settings.Calls() !=
                  std::vector<std::string>{"FrequentTelEventPid=" + std::to_string(launched)}) {
                return 3;
              }
              if (rig.time.Elapsed() < 2500ms) return 4;  // a second of search, the load time
              subject.StopApplication();                  // SIGTERM ends sleep at once
              if (ApplicationLaunched(subject) || SessionProcessOpen(subject)) return 5;
              return subject.SessionPid() == 0 ? 0 : 6;
            }),
            "Waiting for the application to run for 1 seconds before testing begins...\n"
            "Starting test...\n");
}

TEST_F(ApplicationControlTest, ReturningAtTheSessionSkipsTheLoadWait) {
  EXPECT_EQ(Printed([] {
              FrontApplicationRig rig;
              Validator& subject = rig.validator;
              subject.SetLoadTimeMs(1500);
              if (subject.SetUpApplication(true) != TestResult::Passed) return 1;
              if (!SessionProcessOpen(subject) || rig.time.Elapsed() > 1100ms) return 2;
              subject.StopApplication();
              return 0;
            }),
            "");
}

TEST_F(ApplicationControlTest, WithoutALoadTimeTheEnterKeyStartsTheTest) {
  EXPECT_EQ(Printed([] {
              int queries = 0;
              FrontApplicationRig rig([&] { return ++queries == 3; });
              Validator& subject = rig.validator;
              if (subject.SetUpApplication(false) != TestResult::Passed) return 1;
              subject.StopApplication();
              return queries == 3 ? 0 : 2;
            }),
            "Advance past any loading screens and press the Enter key to begin testing.\n"
            "Starting test...\n");
}

TEST_F(ApplicationControlTest, NoApplicationInFrontFailsTheLaunch) {
  EXPECT_EQ(Printed([] {
              ValidatorSurroundings surroundings(
                  Answering([](const std::string& path) -> std::optional<ShellAnswer> {
                    if (path == "/life_cycle/get_dash_visibility") {
                      return ShellAnswer{"DASH_VISIBILITY", R"({"dashVisibility":"HIDDEN"})"};
                    }
                    if (path == "/life_cycle/get_focused_pid") return PidAnswer(0);
                    if (path == "/life_cycle/get_hsw_needed") {
                      return ShellAnswer{"HSW_NEEDED_UPDATE", R"({"needed":false})"};
                    }
                    return std::nullopt;
                  }));
              FakeTime time;
              Validator validator({{}, time.Services()});
              validator.SetApplication("/bin/true", {});
              if (validator.SetUpApplication(false) != TestResult::Failed) return 1;
              if (time.Elapsed() < 30000ms) return 2;
              validator.StopApplication();
              return 0;
            }),
            "ERROR: Failed to launch the app\n");
}

TEST_F(ApplicationControlTest, AnApplicationInFrontWithoutASessionFailsToCreateOne) {
  const std::string printed = Printed([] {
    ValidatorSurroundings surroundings(
        Answering([](const std::string& path) -> std::optional<ShellAnswer> {
          if (path == "/life_cycle/get_actual_location") {
            return ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})"};
          }
          if (path == "/life_cycle/get_top_app_render_pid") return PidAnswer(12);
          return std::nullopt;
        }));
    FakeTime time;
    Validator validator({{}, time.Services()});
    validator.SetApplication("/bin/true", {});
    if (validator.SetUpApplication(false) != TestResult::Failed) return 1;
    validator.StopApplication();
    return 0;
  });
  EXPECT_TRUE(
      printed.ends_with("Top app PID(12) is not in active PID list yet.\n"
                        "ERROR: Failed to create a session\n"))
      << printed;
}

TEST_F(ApplicationControlTest, ATransientErrorEndsTheSessionSearchAtOnce) {
  EXPECT_EQ(Printed([] {
              std::atomic<Validator*> validator{nullptr};
              ValidatorSurroundings surroundings(
                  Answering([&](const std::string& path) -> std::optional<ShellAnswer> {
                    if (path == "/life_cycle/get_actual_location") {
                      TransientError(*validator.load()) =
                          true;  // as the runtime's error event does
                      return ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"HOME"})"};
                    }
                    return std::nullopt;
                  }));
              FakeTime time;
              Validator subject({{}, time.Services()});
              validator = &subject;
              subject.SetApplication("/bin/true", {});
              if (subject.SetUpApplication(false) != TestResult::TransientError) return 1;
              subject.StopApplication();
              return time.Elapsed() < 1100ms ? 0 : 2;
            }),
            kTransientMessage);
}

TEST_F(ApplicationControlTest, AnApplicationThatQuitsDuringTheLoadWaitFailsWithoutAnError) {
  EXPECT_EQ(Printed([] {
              std::atomic<Validator*> validator{nullptr};
              ValidatorSurroundings surroundings(Answering(ApplicationInFront(validator)));
              Validator subject;  // real time: the pump thread reads the exit code
              validator = &subject;
              subject.SetApplication("/bin/sh", {"-c", "sleep 1.5"});
              subject.SetLoadTimeMs(20000);
              const TestResult result = subject.StartApplication(false);
              subject.ShutdownTest("TestQuitting", result);
              if (result != TestResult::Failed) return 1;
              const std::vector<std::string> paths = RequestPaths(surroundings.shell);
              if (paths.front() != "/hardware/set_proximity_sensor true") return 2;
              if (paths.back() != "/hardware/set_proximity_sensor false") return 3;
              return surroundings.settings.Calls().back() == "FakeIADEnabled=false" ? 0 : 4;
            }),
            "Waiting for the application to run for 20 seconds before testing begins...\n"
            "Application quit with exit code 0\n"
            "Cleaning up...\n"
            "Test FAILED\n\n");
}

TEST_F(ApplicationControlTest, ShutdownTestForgetsTheShellsMessages) {
  EXPECT_EQ(Printed([] {
              ValidatorSurroundings surroundings([](const Json::Value& request) {
                // Every answer comes with a message that is no response.
                return std::vector<std::string>{
                    ShellMessage("", "DASH_VISIBILITY", "{}", "EVENT"),
                    ShellMessage(SequenceIdOf(request), "PLAIN_STRING", R"({"value":"OK"})")};
              });
              Validator validator;
              AskDashVisibility(validator);
              if (ShellMessagesKept(validator).empty()) return 1;
              validator.ShutdownTest("TestSomething", TestResult::Passed);
              if (!ShellMessagesKept(validator).empty()) return 2;
              return surroundings.settings.Calls() ==
                             std::vector<std::string>{"FakeIADEnabled=false"}
                         ? 0
                         : 3;
            }),
            "Cleaning up...\nTest PASSED\n\n");
}

TEST_F(ApplicationControlTest, ShutdownQuitsTheApplicationAndCancelsTheValidation) {
  const std::string printed = Printed([] {
    FrontApplicationRig rig;
    Validator& subject = rig.validator;
    if (subject.SetUpApplication(true) != TestResult::Passed) return 1;
    const auto launched = static_cast<pid_t>(LaunchedProcessId(subject));
    subject.Shutdown(false);
    if (ApplicationLaunched(subject)) return 2;
    if (kill(launched, 0) == 0 || errno != ESRCH) return 4;  // ended and collected
    return subject.SetUpApplication(true) == TestResult::Failed ? 0 : 3;
  });
  EXPECT_TRUE(
      printed.ends_with("ERROR: Application launch was cancelled\n"
                        "ERROR: Setup test failed because application couldn't be "
                        "started. HRESULT: 1223\n"))
      << printed;
}

}  // namespace
}  // namespace QasValidator
