#include "platform/process_handle.h"

#include <sys/syscall.h>
#include <unistd.h>

// A process handle is a pidfd: it polls readable once the process has ended. (The system call
// is made directly: the C library's declaration of pidfd_open lacks C linkage for C++.)

namespace platform {

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

std::optional<ProcessHandle> ProcessHandle::Open(uint32_t processId) {
  if (processId == 0 || processId > static_cast<uint32_t>(INT32_MAX)) return std::nullopt;
  const auto fd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
  if (fd < 0) return std::nullopt;
  return ProcessHandle(OwnedHandle(fd), processId);
}

bool ProcessHandle::HasEnded() { return WaitForSingle(*this, 0) == 0; }

}  // namespace platform
