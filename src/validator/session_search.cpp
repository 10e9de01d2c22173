#include <cstdlib>
#include <string>

#include "log/validator_log.h"
#include "lux/lux_capi.h"
#include "validator/validator.h"

// Finding the application's session: the shell must have an application in front (the
// health-and-safety warning is dismissed on the way), and the runtime must have reported a
// session for the process in front, twice, a second apart.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

/// The runtime setting that asks for the per-frame events of one process.
constexpr char kFrequentEventsSetting[] = "FrequentTelEventPid";

}  // namespace

bool Validator::FindFocusedSession(SessionSearch& search) {
  if (!search.inFront) {
    if (search.newerShell) {
      uint32_t focused = 0;
      hub.GetFocusedPid(focused);
      search.inFront = focused != 0;
      if (hub.GetHswNeeded()) {
        LogInfo("Dismissing the health and safety warning");
        hub.HswAcked();
      }
    } else {
      std::string location;
      hub.GetActualLocation(location);
      search.inFront = location == "APP";
      if (location == "HSW") {
        LogInfo("Dismissing the health and safety warning");
        hub.PromptResponse();
      }
    }
    if (!search.inFront) {
      waits.sleep(1000ms);
      return false;
    }
  }
  if (search.registered) return true;

  const uint32_t front = FrontProcessId(search);
  std::unique_lock lock(eventLock);
  if (HasSessionLocked(front)) {
    lock.unlock();
    waits.sleep(1000ms);
    lock.lock();
    // Asked again with the lock held, so that the session cannot end between the answer and
    // the look-up.
    const uint32_t again = FrontProcessId(search);
    if (HasSessionLocked(again)) {
      search.registered = true;
      sessionPid = again;
      if (lux_SetInt(nullptr, kFrequentEventsSetting, static_cast<int>(again)) == luxFalse) {
        LogError("INTERNAL ERROR: Failed to request for frequent events.");
        std::_Exit(1);  // every log line is flushed as it is written
      }
    }
  } else {
    Log(LogLevel::Verbose,
        {"Top app PID(", std::to_string(front), ") is not in active PID list yet."});
  }
  lock.unlock();
  if (!search.registered) {
    waits.sleep(500ms);
    return false;
  }
  return true;
}

uint32_t Validator::FrontProcessId(const SessionSearch& search) {
  uint32_t processId = 0;
  if (search.newerShell) {
    hub.GetFocusedPid(processId);
  } else {
    hub.GetTopAppRenderPid(processId);
  }
  return processId;
}

bool Validator::HasSessionLocked(uint32_t processId) {
  const auto found = processRecords.find(processId);
  return found != processRecords.end() && found->second.sessionCreatedTime != -1.0;
}

}  // namespace QasValidator
