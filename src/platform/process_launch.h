#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/process_handle.h"

namespace platform {

/// What process creation returns (PROCESS_INFORMATION).
struct ProcessInformation {
  std::optional<ProcessHandle> process;
  OwnedHandle thread;  // the first thread; POSIX has no handle for it and leaves this empty
  uint32_t processId = 0;
  uint32_t threadId = 0;
};

/// The application to start. Windows hands the command line to the new process as it stands;
/// POSIX has no command line and passes the argument list instead (the executable's path
/// first, then `arguments`), so nothing is ever split or unquoted.
struct ApplicationLaunch {
  std::string applicationPath;
  std::string commandLine;  // the quoted path and the quoted arguments; empty for none
  std::vector<std::string> arguments;
};

/// CreateProcessW with an explicit application name: no handle inheritance, the caller's
/// environment and current directory, away from the caller's job. On POSIX the signal mask and
/// the dispositions of the console-control signals are reset in the new process, since the
/// validator blocks them, and the validator becomes a child subreaper, so that a process which
/// the application leaves behind (the real application of a launcher) stays its child. False,
/// with the last error set, when the process cannot be created.
bool StartApplicationProcess(const ApplicationLaunch& launch, ProcessInformation& created);

/// Posts the window-close message (WM_CLOSE) to every top-level window of process `processId`.
/// POSIX applications have no windows the validator could see; they receive SIGTERM, which
/// they treat as the request to close. Process 0 and the calling process have no windows.
void PostCloseToProcessWindows(uint32_t processId);

}  // namespace platform
