#include <thread>

#include "log/validator_log.h"
#include "platform/thread_description.h"
#include "validator/validator.h"

// The event pump thread of a test: it watches the session process and hands the listener's
// records to the event handling, from StartApplication to ShutdownTest. Both wake the main
// thread's wait when they bring something new.

namespace QasValidator {

void Validator::StartEventPump() {
  std::lock_guard lock(pumpThreadLock);
  // A thread still joinable here is a programming error; assigning over it ends the program.
  pumpThread = std::thread([this, events = listener.get()] { PumpEvents(events); });
}

void Validator::StopEventPump() {
  stopPump = true;
  std::lock_guard lock(pumpThreadLock);
  if (pumpThread.joinable()) pumpThread.join();
}

void Validator::PumpEvents(LUX::Telemetry::TClientSocket* events) {
  platform::SetCurrentThreadDescription("EventPump");
  while (!stopPump) {
    RefreshExitCode();
    if (events != nullptr) {
      PumpEventRound(*events);
    } else {  // torn down: nothing to receive, the same pace
      std::this_thread::sleep_for(std::chrono::milliseconds(kPumpWaitMs));
    }
  }
}

void Validator::RefreshExitCode() {
  std::lock_guard lock(sessionProcessLock);
  if (!sessionProcessHandle) return;
  uint32_t code = 0;
  if (!sessionProcessHandle->GetExitCode(code)) {
    LogSystemError("INTERNAL ERROR: GetExitCodeProcess failure.");
    return;
  }
  if (exitCode.exchange(code) != code) WakeWaiters();
}

}  // namespace QasValidator
