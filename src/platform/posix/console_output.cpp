#include "platform/console_output.h"

#include <unistd.h>

#include <cstdio>

#include "platform/posix/ansi_colours.h"

// The console is the terminal that standard output writes to; a standard output redirected to
// a file or a pipe is no console. Colours are ANSI escape sequences. Every piece goes through
// the C library's stdout stream, so console and stream output keep their order.

namespace platform {

namespace {

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void Put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

// A console program has its console window on Windows even when its streams are redirected;
// every process counts as one here.
bool HasConsoleWindow() { return true; }

std::optional<uint16_t> ConsoleTextAttributes() {
  // A terminal cannot be asked for its colours; it shows its own until told otherwise.
  if (!StandardOutputIsTerminal()) return std::nullopt;
  return kTerminalDefaultAttributes;
}

void SetConsoleTextAttributes(uint16_t attributes) {
  if (!StandardOutputIsTerminal()) return;
  Put(AnsiColourSequence(attributes));
  std::fflush(stdout);
}

void WriteConsoleText(std::string_view text) {
  if (!StandardOutputIsTerminal()) return;
  Put(text);
  std::fflush(stdout);
}

void WriteStandardOutput(std::string_view text) { Put(text); }

void WriteStandardOutputLine(std::string_view text) {
  Put(text);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

ConsoleOutputLock::ConsoleOutputLock() { flockfile(stdout); }

ConsoleOutputLock::~ConsoleOutputLock() { funlockfile(stdout); }

}  // namespace platform
