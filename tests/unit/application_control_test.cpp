#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <optional>
#include <string>

#include "log/validator_log.h"
#include "platform/process_handle.h"
#include "support/child_process.h"
#include "support/fake_time.h"
#include "support/test_programs.h"
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

// Makes the sleeping program, running `seconds`, the validator's application.
void SetSleepingApplication(Validator& validator, const std::string& seconds) {
  const testsupport::TestProgram program = testsupport::SleepingProgram(seconds);
  validator.SetApplication(program.path, program.arguments);
}

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

TEST_F(ApplicationControlTest, WaitForEndsExactlyAtTheTimeOutWithShortPauses) {
  FakeTime time;
  Validator validator({{}, time.Services()});
  int calls = 0;
  EXPECT_EQ(validator.WaitFor([&] { return ++calls, false; }, 5, false), kStatusWaitTimeout);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(time.Elapsed(), 5ms);
  EXPECT_EQ(time.LongestSleep(), 1ms);

  calls = 0;
  EXPECT_EQ(validator.WaitFor([&] { return ++calls, false; }, 0, false), kStatusWaitTimeout);
  EXPECT_EQ(calls, 0);
}

TEST_F(ApplicationControlTest, WaitForNeverPausesPastTheDeadline) {
  FakeTime time;
  Validator validator({{}, time.Services()});
  // The predicate's own pause leaves 0.4 ms to the deadline: the next pause takes just that.
  EXPECT_EQ(validator.WaitFor(
                [&] {
                  time.Advance(2ms);
                  return false;
                },
                3, false),
            kStatusWaitTimeout);
  EXPECT_EQ(time.Elapsed(), 3ms);
}

TEST_F(ApplicationControlTest, WaitForReturnsWhenThePredicateHolds) {
  FakeTime time;
  Validator validator({{}, time.Services()});
  int calls = 0;
  EXPECT_EQ(validator.WaitFor([&] { return ++calls == 3; }, 100, true), 0);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(time.Elapsed(), 2ms);
}

TEST_F(ApplicationControlTest, WaitForEndsOnTheFirstNegativeStatus) {
  const std::string printed = Printed([] {
    FakeTime time;
    Validator validator({{}, time.Services()});
    int calls = 0;
    const int32_t result = validator.WaitFor(
        [&] {
          if (++calls == 2) TransientError(validator) = true;
          return false;
        },
        100, true);
    if (result != kStatusTransientError || calls != 2) return 1;
    // Without the status poll the error does not end the wait.
    calls = 0;
    return validator.WaitFor([&] { return ++calls, false; }, 10, false) == kStatusWaitTimeout &&
                   calls == 10
               ? 0
               : 2;
  });
  EXPECT_EQ(printed, kTransientMessage);
}

TEST_F(ApplicationControlTest, WaitMillisecondsCountsTheTimeOutAsSuccess) {
  FakeTime time;
  Validator validator({{}, time.Services()});
  EXPECT_EQ(validator.WaitMilliseconds(1500), 0);
  EXPECT_EQ(time.Elapsed(), 1500ms);
}

TEST_F(ApplicationControlTest, WaitForYieldsTheProcessorInsteadOfSpinning) {
  Validator validator;
  int calls = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(validator.WaitFor([&] { return ++calls, false; }, 30, true), kStatusWaitTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_LE(calls, 31);  // at least a pause of up to 1 ms between two rounds
  EXPECT_GE(calls, 2);
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
    // A second after the warning, a pause, a second between the two looks.
    if (validator.SessionPid() != 99 || time.Elapsed() != 2001ms) return 2;
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
              SetSleepingApplication(validator, "30");
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
              SetSleepingApplication(validator, "0");
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
    SetSleepingApplication(validator, "0");
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
              SetSleepingApplication(subject, "0");
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
              SetSleepingApplication(subject, "1.5");
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
    const uint32_t launched = LaunchedProcessId(subject);
    subject.Shutdown(false);
    if (ApplicationLaunched(subject)) return 2;
    if (platform::ProcessHandle::Open(launched)) return 4;  // ended and collected
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
