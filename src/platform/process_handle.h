#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/handle.h"
#include "platform/waitable.h"

namespace platform {

/// The id of the calling process (GetCurrentProcessId).
uint32_t CurrentProcessId();

/// GetExitCodeProcess's answer for a process that has not ended (STILL_ACTIVE).
inline constexpr uint32_t kStillActive = 259;

/// The exit code of a process that ended when the system does not tell it to the caller. On
/// POSIX only the parent learns how a process ended; the validator is the parent of what it
/// starts and, as a child subreaper, of what those processes leave behind, but not of a
/// process whose own parent (a waiting launcher) is still there to collect it.
inline constexpr uint32_t kExitCodeUnknown = 0xFFFFFFFF;

/// How the system tracks the end of one process for every handle open on it. Defined by the
/// backend.
struct ProcessExitRecord;

class PeerHandles;

/// A handle to a process (OpenProcess with the rights to wait, query and terminate). It is
/// signalled once the process has ended.
class ProcessHandle : public Waitable {
 public:
  /// Opens the process `processId`; nothing, with the last error set, when it does not exist
  /// or cannot be opened.
  static std::optional<ProcessHandle> Open(uint32_t processId);

  /// Made by the backend, which alone can make the exit record.
  ProcessHandle(OwnedHandle handle, uint32_t processId,
                std::shared_ptr<ProcessExitRecord> exitRecord);
  ProcessHandle(ProcessHandle&&) noexcept;
  ProcessHandle& operator=(ProcessHandle&&) noexcept;
  ~ProcessHandle() override;

  uint32_t ProcessId() const { return processId_; }
  /// True once the process has ended.
  bool HasEnded();
  /// GetExitCodeProcess: kStillActive while the process runs, else its exit code. A process
  /// that a signal ended has the exit code 128 + the signal's number, except that one ended by
  /// `Terminate` has the code given there. False, with the last error set, when the state of
  /// the process cannot be read.
  bool GetExitCode(uint32_t& exitCode);
  /// TerminateProcess: ends the process at once; its exit code becomes `exitCode`. False,
  /// with the last error set, when it cannot be ended (for example because it is gone).
  bool Terminate(uint32_t exitCode);

 private:
  friend class PeerHandles;  // duplicates handles into the process
  intptr_t WaitHandle() const override { return handle_.Get(); }

  OwnedHandle handle_;
  uint32_t processId_;
  std::shared_ptr<ProcessExitRecord> exitRecord_;
};

}  // namespace platform
