#include "platform/process_handle.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/posix/child_reaper.h"

// A process handle is a pidfd: it polls readable once the process has ended. (The system calls
// are made directly: the C library's declarations of the pidfd calls lack C linkage for C++.)
// Exit codes come from the child reaper, which keeps them in the record every handle on the
// process shares.

namespace platform {

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

std::optional<ProcessHandle> ProcessHandle::Open(uint32_t processId) {
  if (processId == 0 || processId > static_cast<uint32_t>(INT32_MAX)) {
    errno = EINVAL;
    return std::nullopt;
  }
  const ReaperLock lock = LockChildReaper();
  const auto fd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
  if (fd < 0) return std::nullopt;
  return ProcessHandle(OwnedHandle(fd), processId, TrackProcess(lock, processId));
}

ProcessHandle::ProcessHandle(OwnedHandle handle, uint32_t processId,
                             std::shared_ptr<ProcessExitRecord> exitRecord)
    : handle_(std::move(handle)), processId_(processId), exitRecord_(std::move(exitRecord)) {}

ProcessHandle::ProcessHandle(ProcessHandle&&) noexcept = default;
ProcessHandle& ProcessHandle::operator=(ProcessHandle&&) noexcept = default;

ProcessHandle::~ProcessHandle() {
  if (!exitRecord_) return;  // moved from
  // Closing a handle is a moment to collect children that ended meanwhile, so that none
  // lingers as a zombie.
  const ReaperLock lock = LockChildReaper();
  exitRecord_.reset();
  ReapEndedChildren(lock);
}

bool ProcessHandle::HasEnded() { return WaitForSingle(*this, 0) == 0; }

bool ProcessHandle::GetExitCode(uint32_t& exitCode) {
  const ReaperLock lock = LockChildReaper();
  if (!exitRecord_->exitCode) {
    const uint32_t wait = WaitForSingle(*this, 0);
    if (wait == kWaitTimeout) {
      exitCode = kStillActive;
      return true;
    }
    if (wait != 0) return false;
    ReapEndedChildren(lock);
  }
  exitCode = exitRecord_->exitCode.value_or(kExitCodeUnknown);
  return true;
}

bool ProcessHandle::Terminate(uint32_t exitCode) {
  {
    const ReaperLock lock = LockChildReaper();
    if (exitRecord_->exitCode) {  // already ended and collected
      errno = ESRCH;
      return false;
    }
    exitRecord_->terminationCode = exitCode;
  }
  return syscall(SYS_pidfd_send_signal, static_cast<int>(handle_.Get()), SIGKILL, nullptr, 0) == 0;
}

}  // namespace platform
