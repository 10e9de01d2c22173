#pragma once

#include <cstdint>

namespace platform {

/// Console control events, numbered as Windows numbers them.
enum ConsoleControlEvent : uint32_t {
  kCtrlCEvent = 0,
  kCtrlBreakEvent = 1,
  kCtrlCloseEvent = 2,
  kCtrlLogoffEvent = 5,
  kCtrlShutdownEvent = 6,
};

/// Returns true when it handled the event; false lets the default handling end the process.
using ConsoleControlHandler = bool (*)(uint32_t event);

/// Takes over delivery of console control events for the process. Call it first thing on the
/// main thread, before any other thread exists. Until a handler is installed every event gets
/// the default handling, which ends the process.
void StartConsoleControl();

/// Installs the handler that sees every later console control event (SetConsoleCtrlHandler).
/// Each event is handled on a new thread of its own, never on the thread that was interrupted,
/// so a handler still busy with one event does not hold back the next.
void SetConsoleControlHandler(ConsoleControlHandler handler);

}  // namespace platform
