#include "platform/debugger.h"

#include <syslog.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

// A process that ptrace(2) traces has the tracer's id as its TracerPid; the debugger output is
// the system log, which a developer follows (journalctl -f) as a viewer of the debugger output.

namespace platform {

bool IsDebuggerAttached() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    constexpr std::string_view kTracer = "TracerPid:";
    if (line.starts_with(kTracer)) {
      return std::strtol(line.c_str() + kTracer.size(), nullptr, 10) != 0;
    }
  }
  return false;
}

void OutputDebugText(const std::string& text) { syslog(LOG_USER | LOG_DEBUG, "%s", text.c_str()); }

}  // namespace platform
