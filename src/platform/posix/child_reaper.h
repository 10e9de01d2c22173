#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/process_handle.h"

// The one place that collects ended child processes (waitid), so that reading the exit code of
// a process through one handle never takes it away from another handle on the same process.
// Every handle shares the process's exit record; a reaped child's exit code is kept there for
// as long as a handle is open on it.
//
// Reaping takes every ended child of the process. It starts once the process has started an
// application (and so became a child subreaper): from then on every child is the validator's,
// either started by it or left to it by a process it started. Before that nothing is reaped,
// so a process that merely opens handles (for example on an IPC peer) never collects children
// that other code of it waits for.

namespace platform {

/// What the backend knows about the end of one process.
struct ProcessExitRecord {
  explicit ProcessExitRecord(uint32_t id) : processId(id) {}

  const uint32_t processId;
  std::optional<uint32_t> exitCode;         // guarded by the reaper lock; set once reaped
  std::optional<uint32_t> terminationCode;  // guarded by the reaper lock; set by Terminate
};

/// Held while records are read or written and while children are reaped.
using ReaperLock = std::unique_lock<std::mutex>;
ReaperLock LockChildReaper();

/// The exit record of `processId`, shared with every open handle on that process.
std::shared_ptr<ProcessExitRecord> TrackProcess(const ReaperLock& lock, uint32_t processId);

/// Makes this process a child subreaper: processes orphaned below it are re-parented to it
/// instead of to init. From then on ended children are reaped.
void BecomeChildSubreaper(const ReaperLock& lock);

/// Collects every ended child, keeping the exit code in its record when a handle is open on it.
void ReapEndedChildren(const ReaperLock& lock);

}  // namespace platform
