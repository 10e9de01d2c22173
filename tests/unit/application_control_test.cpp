#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "event_records.h"
#include "log/validator_log.h"
#include "platform/process_handle.h"
#include "platform/system_error.h"
#include "support/child_process.h"
#include "support/console_lines.h"
#include "support/test_programs.h"
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
using testsupport::ShellAnswer;
using testsupport::ValidatorSurroundings;

class ApplicationControlTest : public testing::Test, protected ValidatorTestAccess {
 protected:
  /// Runs `body` in a child process with verbose logging; returns what it printed, without
  /// the shell client's own verbose lines.
  static std::string Printed(const std::function<void()>& body) {
    return testsupport::WithoutShellClientLines(testsupport::ExpectInChild([&] {
                                                  SetVerboseLogging(true);
                                                  body();
                                                }).out);
  }
};

namespace {

using namespace std::chrono_literals;

TEST_F(ApplicationControlTest, TheStatusPollPutsCancellationBeforeTheTransientErrorBeforeTheExit) {
  const struct {
    std::optional<uint32_t> exitCode;  // of the session process; none when there is none
    bool transient, cancelled, verbose;
    int32_t status;
    std::string printed;
  } cases[] = {
      {std::nullopt, false, false, true, 0, ""},
      {platform::kStillActive, false, false, true, 0, ""},
      {0, false, false, true, kStatusApplicationQuit, "Application quit with exit code 0\n"},
      {0, false, false, false, kStatusApplicationQuit, ""},
      {0xC0000005, false, false, true, kStatusApplicationCrashed,
       "ERROR: Application crashed with exit code 3221225477\n"},
      {3, true, false, true, kStatusTransientError, testsupport::kTransientErrorLines},
      {3, true, true, true, kStatusCancelled, "ERROR: Validation was cancelled\n"},
  };
  for (const auto& c : cases) {
    const testsupport::ChildOutcome run = testsupport::ExpectInChild([&] {
      SetVerboseLogging(c.verbose);
      Validator validator;
      if (c.exitCode) SetSessionProcess(validator, *c.exitCode);
      TransientError(validator) = c.transient;
      Cancelled(validator) = c.cancelled;
      EXPECT_EQ(CheckState(validator), c.status);
    });
    EXPECT_EQ(testsupport::WithoutShellClientLines(run.out), c.printed) << c.status;
  }
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
    std::string progress;  // its lines, each ended by '|'
  };
  const WaitOptions polled = {.pollInterval = 10ms};
  const WaitOptions shown = {.activity = "m"};
  const std::vector<Case> cases = {
      {"sleeps to the time-out", 5000, {}, false, 0, kStatusWaitTimeout, 1, 5000ms, ""},
      {"no time, no question", 0, {}, false, 0, kStatusWaitTimeout, 0, 0ms, ""},
      {"a wake-up asks at once", 100, {}, true, 2, 0, 2, 0ms, ""},
      {"holds at a poll", 100, polled, false, 3, 0, 3, 20ms, ""},
      {"counts down", 2500, shown, false, 0, kStatusWaitTimeout, 3, 2500ms,
       "m, 3 s left|m, 2 s left|m, 1 s left||"},
  };
  for (const Case& c : cases) {
    FakeTime time;
    std::string progress;
    WaitServices services = time.Services();
    services.showProgress = [&](std::string_view line) { (progress += line) += '|'; };
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
  // A plain wait of a time is the load wait of every course, whose time it checks.

  // A negative status ends a wait that polls it, and no other. The transient error arrives
  // with an event batch, whose delivery wakes the wait.
  EXPECT_EQ(Printed([] {
              FakeTime fake;
              Validator subject({{}, fake.Services()});
              const auto errorArrives = [&] {
                TransientError(subject) = true;
                Wake(subject);
                return false;
              };
              EXPECT_EQ(subject.WaitFor(errorArrives, 100, true), kStatusTransientError);
              EXPECT_EQ(fake.Elapsed(), 0ms);
              EXPECT_EQ(subject.WaitFor([] { return false; }, 10, false), kStatusWaitTimeout);
              EXPECT_EQ(fake.Elapsed(), 10ms);
            }),
            testsupport::kTransientErrorLines);
}

// A delivered batch wakes a wait that asks about the event facts and no other, since most waits
// only wait for their time; a transient error wakes every wait, whose status poll ends it.
TEST_F(ApplicationControlTest, DeliveriesWakeOnlyAWaitThatAsksButATransientErrorWakesAny) {
  const struct {
    const char* what;
    bool asks;
    std::vector<LUX::Telemetry::TelemetryEvent> batch;  // delivered during the first pause
    int32_t result;
    int pauses;
    std::chrono::milliseconds elapsed;
  } cases[] = {
      {"a question is woken", true, {}, kStatusWaitTimeout, 2, 100ms},
      {"no question sleeps on", false, {}, kStatusWaitTimeout, 1, 100ms},
      {"a transient error ends it",
       false,
       {luxsim::records::RuntimeErrorEvent(5, -90011, "Transient", true, 5.0)},
       kStatusTransientError,
       1,
       0ms},
  };
  for (const auto& c : cases) {
    Printed([&] {
      FakeTime time;
      WaitServices services = time.Services();
      Validator* subject = nullptr;
      int pauses = 0;
      services.pause = [&, fake = services.pause](WaitServices::WakeSources sources,
                                                  std::chrono::microseconds duration, bool keys) {
        if (pauses++ == 0) Deliver(*subject, c.batch);
        return fake(sources, duration, keys);
      };
      Validator validator({{}, std::move(services)});
      subject = &validator;
      const std::function<bool()> never = [] { return false; };
      EXPECT_EQ(validator.WaitFor(c.asks ? never : nullptr, 100, true), c.result) << c.what;
      EXPECT_EQ(pauses, c.pauses) << c.what;
      EXPECT_EQ(time.Elapsed(), c.elapsed) << c.what;
      // Outside such a wait (in the display-loss wait, say) a batch wakes the pause again.
      Deliver(validator, {});
      EXPECT_TRUE(Woken(validator)) << c.what;
    });
  }
}

// ---- The session search ----

/// A newer shell: `pid` in focus, the warning needed `warnings` times.
testsupport::ShellService::Responder NewerShell(uint32_t pid, int warnings) {
  auto left = std::make_shared<std::atomic<int>>(warnings);
  return Answering([=](const std::string& path) -> std::optional<ShellAnswer> {
    if (path == "/life_cycle/get_focused_pid") return PidAnswer(pid);
    if (path != "/life_cycle/get_hsw_needed") return std::nullopt;
    return ShellAnswer{"HSW_NEEDED_UPDATE", (*left)-- > 0 ? R"({"needed":true})" : "{}"};
  });
}

// The session found: the set-up below and every course, whose times include the second
// between the two looks; the warning dismissed on either shell: every end-to-end run.

TEST_F(ApplicationControlTest, RefusedFrequentEventsEndTheProgramWithStatusOne) {
  const auto run = testsupport::RunInChild([] {
    ValidatorSurroundings surroundings(NewerShell(5, 0), false);
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

TEST_F(ApplicationControlTest, ALaunchThatFailsOrIsCancelledStartsNothing) {
  const char kSetupFailed[] = "ERROR: Setup test failed because application couldn't be started. ";
  EXPECT_EQ(Printed([] {
              ValidatorSurroundings surroundings;
              Validator validator;
              validator.SetApplication(testing::TempDir() + "no_such_app", {});
              EXPECT_EQ(validator.SetUpApplication(false), TestResult::Failed);
              EXPECT_TRUE(surroundings.shell.Requests().empty());
            }),
            // The system's text of error 2 ("No such file or directory" on POSIX).
            "ERROR: Could not start the application.\n\tSystem Error Code: 2\n\t" +
                platform::SystemErrorText(2) + "\n" + kSetupFailed + "HRESULT: -2147024894\n");
  // Shutdown quits the application and cancels the validation: no later launch.
  const std::string printed = Printed([] {
    FrontApplicationRig rig;
    Validator& subject = rig.validator;
    EXPECT_EQ(subject.SetUpApplication(true), TestResult::Passed);
    const uint32_t launched = LaunchedProcessId(subject);
    subject.Shutdown(false);
    EXPECT_FALSE(ApplicationLaunched(subject));
#ifdef _WIN32
    std::optional<platform::ProcessHandle> process = platform::ProcessHandle::Open(launched);
    EXPECT_TRUE(!process || process->HasEnded());  // ended
#else
    EXPECT_FALSE(platform::ProcessHandle::Open(launched));  // ended and collected
#endif
    EXPECT_EQ(subject.SetUpApplication(true), TestResult::Failed);
    EXPECT_FALSE(ApplicationLaunched(subject));
  });
  EXPECT_TRUE(printed.ends_with(std::string("ERROR: Application launch was cancelled\n") +
                                kSetupFailed + "HRESULT: 1223\n"))
      << printed;
}

// The load wait, the session found and the frequent events asked for it: every course and
// end-to-end run, which the simulated runtime sends frames of the asked process only.
TEST_F(ApplicationControlTest, WithANegativeLoadTimeTheEnterKeyStartsTheTest) {
  EXPECT_EQ(Printed([] {
              int queries = 0;
              FrontApplicationRig rig([&] { return ++queries == 3; });
              rig.validator.SetLoadTimeMs(-5);
              EXPECT_EQ(rig.validator.SetUpApplication(false), TestResult::Passed);
              rig.validator.StopApplication();
              EXPECT_EQ(queries, 3);
            }),
            "Advance past any loading screens and press the Enter key to begin testing.\n"
            "Starting test...\n");
}

TEST_F(ApplicationControlTest, AnApplicationThatOutlivesItsTerminationIsGivenUpOn) {
  // Every wait for the application's end passes its whole time-out on the fake clock: twenty
  // seconds for the close request, two for the termination. A termination that works:
  // LaunchTestsE2E.AnApplicationIgnoringTheCloseRequestIsTerminatedAfterTwentySeconds.
  EXPECT_EQ(Printed([] {
              FrontApplicationRig rig;
              EXPECT_EQ(rig.validator.SetUpApplication(true), TestResult::Passed);
              Waits(rig.validator).waitForObject = [&rig](platform::Waitable&,
                                                          std::chrono::milliseconds timeout) {
                rig.time.Advance(timeout);
                return platform::kWaitTimeout;
              };
              const std::chrono::milliseconds start = rig.time.Elapsed();
              rig.validator.StopApplication();
              EXPECT_EQ(rig.time.Elapsed() - start, 22000ms);
              EXPECT_FALSE(ApplicationLaunched(rig.validator));
            }),
            "ERROR: Could not quit application gracefully in 20.000000 seconds, force quitting\n"
            "ERROR: Timed out waiting for the process to terminate!\n");
}

TEST_F(ApplicationControlTest, NoSessionOfTheApplicationInFrontFailsTheLaunch) {
  using Shell = FrontApplicationRig::ShellFactory;
  // A newer shell with no application in front.
  const Shell nothingInFront = [](const std::atomic<Validator*>&) {
    return [](const std::string& path) -> std::optional<ShellAnswer> {
      if (path == "/life_cycle/get_dash_visibility") {
        return ShellAnswer{"DASH_VISIBILITY", R"({"dashVisibility":"HIDDEN"})"};
      }
      if (path == "/life_cycle/get_focused_pid") return PidAnswer(0);
      return std::nullopt;
    };
  };
  // An older shell whose application in front, process 12, has a record but no session.
  const Shell withoutSession = [](const std::atomic<Validator*>&) {
    return [](const std::string& path) -> std::optional<ShellAnswer> {
      if (path == "/life_cycle/get_actual_location") {
        return ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})"};
      }
      if (path == "/life_cycle/get_top_app_render_pid") return PidAnswer(12);
      return std::nullopt;
    };
  };
  // The runtime's transient error arrives while the shell is asked.
  const Shell transientError = [](const std::atomic<Validator*>& validator) {
    return [&validator](const std::string&) -> std::optional<ShellAnswer> {
      TransientError(*validator.load()) = true;
      return std::nullopt;
    };
  };
  // Rounds of 500 ms and a pause of 1 ms until 30 s have passed.
  std::string notInList;
  for (int round = 0; round < 60; ++round) {
    notInList += "Top app PID(12) is not in active PID list yet.\n";
  }
  const struct {
    Shell shell;
    TestResult result;
    std::chrono::milliseconds atLeast, below;
    std::string printed;
  } cases[] = {
      {nothingInFront, TestResult::Failed, 30000ms, 31000ms, "ERROR: Failed to launch the app\n"},
      {withoutSession, TestResult::Failed, 30000ms, 30600ms,
       notInList + "ERROR: Failed to create a session\n"},
      {transientError, TestResult::TransientError, 0ms, 1100ms, testsupport::kTransientErrorLines},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printed([&] {
                FrontApplicationRig rig([] { return false; }, c.shell);
                const testsupport::TestProgram ending = testsupport::SleepingProgram("0");
                rig.validator.SetApplication(ending.path, ending.arguments);
                rig.validator.SetLoadTimeMs(1000);  // a wrong find ends, not waits for Enter
                AddRecordWithoutSession(rig.validator, 12);
                EXPECT_EQ(rig.validator.SetUpApplication(false), c.result);
                EXPECT_GE(rig.time.Elapsed(), c.atLeast);
                EXPECT_LT(rig.time.Elapsed(), c.below);
                EXPECT_EQ(rig.validator.SessionPid(), 0u);
                EXPECT_TRUE(rig.surroundings.settings.Calls().empty());
                rig.validator.StopApplication();
              }),
              c.printed);
  }
}

}  // namespace
}  // namespace QasValidator
