#include "platform/process_launch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "platform/system_error.h"
#include "support/child_process.h"
#include "support/wait_until.h"

// Starting applications, their exit codes, termination and the close request. Every case runs
// in a child process: starting an application makes the process a child subreaper for good.

namespace platform {
namespace {

using testsupport::RunInChild;

// Starts `/bin/sh -c script`.
ProcessInformation StartShell(const std::string& script) {
  ProcessInformation created;
  EXPECT_TRUE(StartApplicationProcess({"/bin/sh", "", {"-c", script}}, created))
      << SystemErrorText(LastErrorCode());
  return created;
}

// Waits for the process to end and returns its exit code.
uint32_t ExitCodeAfterEnd(ProcessHandle& process) {
  EXPECT_EQ(WaitForSingle(process, 10000), 0u);
  uint32_t code = 0;
  EXPECT_TRUE(process.GetExitCode(code));
  return code;
}

uint32_t ReadProcessId(const std::string& path) {
  uint32_t processId = 0;
  testsupport::WaitUntil([&] {
    std::ifstream file(path);
    return static_cast<bool>(file >> processId);
  });
  return processId;
}

// Runs `body` in a child process and expects it to return 0, printing what failed.
void ExpectInChild(const std::function<int()>& body) {
  const auto run = RunInChild(body);
  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
}

TEST(ProcessLaunch, PassesTheArgumentsAsTheyAreAndReportsTheExitCode) {
  ExpectInChild([] {
    // After the script, the shell's $0 and $1 are the next two arguments: nothing is split or
    // unquoted on the way.
    ProcessInformation created;
    if (!StartApplicationProcess(
            {"/bin/sh",
             "",
             {"-c", "[ \"$0\" = 'a b' ] && [ \"$1\" = '\"c\"' ] && exit 7", "a b", "\"c\""}},
            created)) {
      return 1;
    }
    if (created.processId == 0 || created.threadId != created.processId) return 2;
    return ExitCodeAfterEnd(*created.process) == 7 ? 0 : 3;
  });
}

TEST(ProcessLaunch, ARunningProcessIsStillActive) {
  ExpectInChild([] {
    ProcessInformation created = StartShell("sleep 5");
    uint32_t code = 0;
    if (!created.process->GetExitCode(code) || code != kStillActive) return 1;
    if (!created.process->Terminate(1)) return 2;
    return ExitCodeAfterEnd(*created.process) == 1 ? 0 : 3;
  });
}

TEST(ProcessLaunch, ASignalEndsWithOneHundredTwentyEightPlusItsNumber) {
  ExpectInChild([] {
    ProcessInformation created = StartShell("kill -SEGV $$");
    return ExitCodeAfterEnd(*created.process) == 128 + SIGSEGV ? 0 : 1;
  });
}

TEST(ProcessLaunch, TheCloseRequestIsSigterm) {
  ExpectInChild([] {
    ProcessInformation created = StartShell("sleep 5");
    PostCloseToProcessWindows(created.processId);
    return ExitCodeAfterEnd(*created.process) == 128 + SIGTERM ? 0 : 1;
  });
}

TEST(ProcessLaunch, TheCloseRequestSparesProcessZeroAndTheCaller) {
  ExpectInChild([] {
    setpgid(0, 0);  // a group of its own: a stray signal to "process 0" would end only this
    PostCloseToProcessWindows(0);
    PostCloseToProcessWindows(CurrentProcessId());
    return 0;
  });
}

TEST(ProcessLaunch, TheBlockedAndIgnoredSignalsOfTheCallerAreReset) {
  ExpectInChild([] {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    signal(SIGHUP, SIG_IGN);
    ProcessInformation term = StartShell("kill -TERM $$; exit 0");
    ProcessInformation hangUp = StartShell("kill -HUP $$; exit 0");
    if (ExitCodeAfterEnd(*term.process) != 128 + SIGTERM) return 1;
    return ExitCodeAfterEnd(*hangUp.process) == 128 + SIGHUP ? 0 : 2;
  });
}

TEST(ProcessLaunch, AMissingExecutableFailsWithTheSystemError) {
  ExpectInChild([] {
    ProcessInformation created;
    if (StartApplicationProcess({"/nonexistent/app", "", {}}, created)) return 1;
    if (LastErrorCode() != ENOENT) return 2;
    return created.process ? 3 : 0;
  });
}

TEST(ProcessLaunch, EveryHandleOnAProcessReadsItsExitCode) {
  ExpectInChild([] {
    ProcessInformation created = StartShell("sleep 0.1; exit 5");
    std::optional<ProcessHandle> second = ProcessHandle::Open(created.processId);
    if (!second) return 1;
    if (ExitCodeAfterEnd(*second) != 5) return 2;  // reaps the process
    uint32_t code = 0;
    if (!created.process->GetExitCode(code) || code != 5) return 3;
    return created.process->Terminate(1) ? 4 : 0;  // ended and collected: nothing to end
  });
}

TEST(ProcessLaunch, AProcessLeftBehindByTheLaunchedOneIsReapedByTheValidator) {
  ExpectInChild([] {
    const std::string path = testing::TempDir() + "left_behind_pid";
    std::remove(path.c_str());
    ProcessInformation launcher = StartShell("(sleep 0.3; exit 9) & echo $! > " + path);
    const uint32_t left = ReadProcessId(path);
    std::optional<ProcessHandle> app = ProcessHandle::Open(left);
    if (!app) return 1;
    if (ExitCodeAfterEnd(*launcher.process) != 0) return 2;
    return ExitCodeAfterEnd(*app) == 9 ? 0 : 3;
  });
}

TEST(ProcessLaunch, TheExitCodeOfAProcessItsOwnParentCollectsIsUnknown) {
  ExpectInChild([] {
    const std::string path = testing::TempDir() + "waited_pid";
    std::remove(path.c_str());
    ProcessInformation launcher = StartShell("sleep 0.3 & echo $! > " + path + "; wait; exit 4");
    std::optional<ProcessHandle> app = ProcessHandle::Open(ReadProcessId(path));
    if (!app) return 1;
    if (ExitCodeAfterEnd(*app) != kExitCodeUnknown) return 2;
    return ExitCodeAfterEnd(*launcher.process) == 4 ? 0 : 3;
  });
}

TEST(ProcessLaunch, NoZombieRemainsOnceTheHandleIsClosed) {
  ExpectInChild([] {
    pid_t processId = 0;
    {
      ProcessInformation created = StartShell("exit 0");
      processId = static_cast<pid_t>(created.processId);
      if (WaitForSingle(*created.process, 10000) != 0) return 1;
    }
    return kill(processId, 0) != 0 && errno == ESRCH ? 0 : 2;
  });
}

}  // namespace
}  // namespace platform
