#include "platform/posix/child_reaper.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <map>

namespace platform {

namespace {

std::mutex reaperMutex;
// Guarded by reaperMutex: the records of processes with open handles, by process id. A
// record leaves the map when its process is reaped, so a later process with the same id gets
// a record of its own.
std::map<uint32_t, std::weak_ptr<ProcessExitRecord>> records;
bool reaping = false;  // guarded by reaperMutex; set once this process is a child subreaper

// The exit code of a child as the system reported its end. A signal that ended it counts as
// 128 + the signal's number, the shells' convention, except the kill of Terminate, which
// counts as the code given there.
uint32_t ExitCodeOf(const siginfo_t& info, const ProcessExitRecord* record) {
  if (info.si_code == CLD_EXITED) return static_cast<uint32_t>(info.si_status) & 0xFF;
  if (record != nullptr && record->terminationCode && info.si_status == SIGKILL) {
    return *record->terminationCode;
  }
  return 128 + static_cast<uint32_t>(info.si_status);
}

}  // namespace

ReaperLock LockChildReaper() { return ReaperLock(reaperMutex); }

std::shared_ptr<ProcessExitRecord> TrackProcess(const ReaperLock&, uint32_t processId) {
  std::erase_if(records, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<ProcessExitRecord>& slot = records[processId];
  std::shared_ptr<ProcessExitRecord> record = slot.lock();
  if (!record) {
    record = std::make_shared<ProcessExitRecord>(processId);
    slot = record;
  }
  return record;
}

void BecomeChildSubreaper(const ReaperLock&) {
  if (reaping) return;
  prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
  reaping = true;
}

void ReapEndedChildren(const ReaperLock&) {
  if (!reaping) return;
  const int savedError = errno;
  for (;;) {
    siginfo_t info{};
    if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG) != 0) {
      if (errno == EINTR) continue;
      break;  // no children at all
    }
    if (info.si_pid == 0) break;  // none has ended
    const auto found = records.find(static_cast<uint32_t>(info.si_pid));
    if (found == records.end()) continue;
    if (std::shared_ptr<ProcessExitRecord> record = found->second.lock()) {
      record->exitCode = ExitCodeOf(info, record.get());
    }
    records.erase(found);
  }
  errno = savedError;
}

}  // namespace platform
