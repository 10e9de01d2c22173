#include "platform/console_output.h"

#include <windows.h>

#include <cstdio>
#include <string>

// The console calls work on the standard output handle only while it is a console; redirected
// to a file or a pipe, they fail and nothing is written or coloured. The stream writes go
// through the C library's stdout, flushed before each console write so both keep their order.

namespace platform {

namespace {

HANDLE StandardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }

void Put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

bool HasConsoleWindow() { return GetConsoleWindow() != nullptr; }

std::optional<uint16_t> ConsoleTextAttributes() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(StandardOutput(), &info)) return std::nullopt;
  return info.wAttributes;
}

void SetConsoleTextAttributes(uint16_t attributes) {
  std::fflush(stdout);
  SetConsoleTextAttribute(StandardOutput(), attributes);
}

void WriteConsoleText(std::string_view text) {
  std::fflush(stdout);
  DWORD written = 0;
  WriteConsoleA(StandardOutput(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void WriteStandardOutput(std::string_view text) { Put(text); }

void WriteStandardOutputLine(std::string_view text) {
  Put(text);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

ConsoleOutputLock::ConsoleOutputLock() { _lock_file(stdout); }

ConsoleOutputLock::~ConsoleOutputLock() { _unlock_file(stdout); }

}  // namespace platform
