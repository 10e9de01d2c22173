#pragma once

namespace platform {

/// The process's standard output streams.
enum class StandardStream { kOutput, kError };

/// Whether `stream` writes to a terminal that a person watches (a console on Windows, where
/// GetConsoleMode succeeds on its handle).
bool IsTerminal(StandardStream stream);

}  // namespace platform
