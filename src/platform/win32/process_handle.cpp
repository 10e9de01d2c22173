#include "platform/process_handle.h"

#include <windows.h>

// Windows keeps a process's exit code for every handle open on it, so the exit record holds
// nothing: GetExitCodeProcess answers for each handle.

namespace platform {

struct ProcessExitRecord {};

namespace {

HANDLE Native(const OwnedHandle& handle) { return reinterpret_cast<HANDLE>(handle.Get()); }

// The rights the validator uses: waiting, exit codes, termination, duplicating handles into the
// process and reading its module list. Processes of other users grant fewer.
constexpr DWORD kFullAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ |
                              PROCESS_TERMINATE | PROCESS_DUP_HANDLE;
constexpr DWORD kLimitedAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

}  // namespace

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

std::optional<ProcessHandle> ProcessHandle::Open(uint32_t processId) {
  HANDLE process = OpenProcess(kFullAccess, FALSE, processId);
  if (process == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
    process = OpenProcess(kLimitedAccess, FALSE, processId);
  }
  if (process == nullptr) return std::nullopt;
  return ProcessHandle(OwnedHandle(reinterpret_cast<intptr_t>(process)), processId, nullptr);
}

ProcessHandle::ProcessHandle(OwnedHandle handle, uint32_t processId,
                             std::shared_ptr<ProcessExitRecord> exitRecord)
    : handle_(std::move(handle)), processId_(processId), exitRecord_(std::move(exitRecord)) {}

ProcessHandle::ProcessHandle(ProcessHandle&&) noexcept = default;
ProcessHandle& ProcessHandle::operator=(ProcessHandle&&) noexcept = default;
ProcessHandle::~ProcessHandle() = default;

bool ProcessHandle::HasEnded() { return WaitForSingle(*this, 0) == 0; }

bool ProcessHandle::GetExitCode(uint32_t& exitCode) {
  DWORD code = 0;
  if (!GetExitCodeProcess(Native(handle_), &code)) return false;
  exitCode = code;
  return true;
}

bool ProcessHandle::Terminate(uint32_t exitCode) {
  return TerminateProcess(Native(handle_), exitCode) != FALSE;
}

}  // namespace platform
