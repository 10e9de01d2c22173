#pragma once

#include <string>

namespace platform {

/// Whether a debugger is attached to the process (IsDebuggerPresent).
bool IsDebuggerAttached();

/// Sends `text` to the debugger output (OutputDebugStringW), where a debugger or a viewer of
/// that output shows it.
void OutputDebugText(const std::string& text);

}  // namespace platform
