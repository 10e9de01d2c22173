#include "platform/console_control.h"

#include <windows.h>

#include <atomic>

// The system calls a console control handler on a thread it creates for each event. One routine
// is registered with SetConsoleCtrlHandler and hands every event to the installed handler; while
// none is installed, the event goes on to the default handling, which ends the process.

namespace platform {

namespace {

std::atomic<ConsoleControlHandler> installedHandler{nullptr};

BOOL WINAPI DispatchControlEvent(DWORD event) {
  const ConsoleControlHandler handler = installedHandler.load();
  return handler != nullptr && handler(event) ? TRUE : FALSE;
}

}  // namespace

void StartConsoleControl() { SetConsoleCtrlHandler(DispatchControlEvent, TRUE); }

void SetConsoleControlHandler(ConsoleControlHandler handler) { installedHandler.store(handler); }

}  // namespace platform
