#include "platform/process_launch.h"

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/posix/child_reaper.h"
#include "platform/posix/process_creators.h"

namespace platform {

namespace {

// posix_spawn's attributes and file actions, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The new process starts with no signal blocked and the default action for every signal
  // that can be caught (the validator blocks the console-control signals in every thread and
  // may ignore others), and with no descriptor beyond the standard three (no inheritance).
  int Prepare() {
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal = 1; signal < SIGRTMIN; ++signal) {
      if (signal != SIGKILL && signal != SIGSTOP) sigaddset(&defaults, signal);
    }
    if (int error = posix_spawnattr_setsigmask(&attributes_, &none)) return error;
    if (int error = posix_spawnattr_setsigdefault(&attributes_, &defaults)) return error;
    if (int error = posix_spawnattr_setflags(&attributes_,
                                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)) {
      return error;
    }
    return posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
  }

  const posix_spawnattr_t* Attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* Actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

bool StartApplicationProcess(const ApplicationLaunch& launch, ProcessInformation& created) {
  created = ProcessInformation{};
  SpawnSetup setup;
  if (int error = setup.Prepare()) {
    errno = error;
    return false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(launch.applicationPath.c_str()));
  for (const std::string& argument : launch.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  // Under the reaper lock, so that the new child cannot be reaped before its handle exists.
  const ReaperLock lock = LockChildReaper();
  BecomeChildSubreaper(lock);
  pid_t pid = 0;
  if (int error = posix_spawn(&pid, launch.applicationPath.c_str(), setup.Actions(),
                              setup.Attributes(), argv.data(), environ)) {
    errno = error;
    return false;
  }
  const auto processId = static_cast<uint32_t>(pid);
  const auto fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) {  // cannot happen for an unreaped child; never leave it without an owner
    const int error = errno;
    kill(pid, SIGKILL);
    errno = error;
    return false;
  }
  NoteLaunchedProcess(processId);
  created.process.emplace(OwnedHandle(fd), processId, TrackProcess(lock, processId));
  created.processId = processId;
  created.threadId = processId;  // the first thread's id is the process id
  return true;
}

void PostCloseToProcessWindows(uint32_t processId) {
  if (processId == 0 || processId > static_cast<uint32_t>(INT32_MAX)) return;
  if (processId == CurrentProcessId()) return;
  kill(static_cast<pid_t>(processId), SIGTERM);
}

}  // namespace platform
