#pragma once

#include <cstdint>
#include <optional>

#include "platform/handle.h"
#include "platform/waitable.h"

namespace platform {

/// The id of the calling process (GetCurrentProcessId).
uint32_t CurrentProcessId();

/// A handle to a running process with the right to wait for it (OpenProcess with SYNCHRONIZE).
/// It is signalled once the process has ended.
class ProcessHandle : public Waitable {
 public:
  /// Opens the process `processId`; nothing when it does not exist or cannot be opened.
  static std::optional<ProcessHandle> Open(uint32_t processId);

  ProcessHandle(ProcessHandle&&) = default;
  ProcessHandle& operator=(ProcessHandle&&) = default;

  uint32_t ProcessId() const { return processId_; }
  /// True once the process has ended.
  bool HasEnded();

 private:
  ProcessHandle(OwnedHandle handle, uint32_t processId)
      : handle_(std::move(handle)), processId_(processId) {}
  intptr_t WaitHandle() const override { return handle_.Get(); }

  OwnedHandle handle_;
  uint32_t processId_;
};

}  // namespace platform
