#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

/// Whether the process has a console window (GetConsoleWindow).
bool HasConsoleWindow();

/// The text attributes of the console that standard output writes to
/// (GetConsoleScreenBufferInfo): bits 0 to 3 are the text colour (1 blue, 2 green, 4 red,
/// 8 intensity). Nothing when standard output is not a console.
std::optional<uint16_t> ConsoleTextAttributes();

/// Sets the text attributes of that console (SetConsoleTextAttribute); nothing happens when
/// standard output is not a console.
void SetConsoleTextAttributes(uint16_t attributes);

/// Writes `text` with the console's own write call (WriteConsoleA on the standard output
/// handle), which writes nothing when standard output is not a console (redirected to a file
/// or a pipe).
void WriteConsoleText(std::string_view text);

/// Writes `text` to the standard output stream, wherever it leads.
void WriteStandardOutput(std::string_view text);

/// Writes `text` and a line end to the standard output stream and flushes it.
void WriteStandardOutputLine(std::string_view text);

/// Holds the console and the standard output stream for the calling thread while it lives, so
/// that a line written in several pieces is not split by other threads' output.
class ConsoleOutputLock {
 public:
  ConsoleOutputLock();
  ~ConsoleOutputLock();
  ConsoleOutputLock(const ConsoleOutputLock&) = delete;
  ConsoleOutputLock& operator=(const ConsoleOutputLock&) = delete;
};

}  // namespace platform
