#include "platform/terminal.h"

#include <windows.h>

namespace platform {

// A console answers GetConsoleMode; a pipe, a file or NUL does not.
bool IsTerminal(StandardStream stream) {
  const HANDLE handle =
      GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace platform
