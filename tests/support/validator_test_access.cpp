#include "support/validator_test_access.h"

#include <memory>

namespace QasValidator {

void ValidatorTestAccess::SetSessionProcess(Validator& validator, uint32_t exitCode) {
  std::lock_guard lock(validator.sessionProcessLock);
  validator.sessionProcessHandle = platform::ProcessHandle::Open(platform::CurrentProcessId());
  validator.exitCode = exitCode;
}

bool ValidatorTestAccess::SessionProcessOpen(Validator& validator) {
  std::lock_guard lock(validator.sessionProcessLock);
  return validator.sessionProcessHandle.has_value();
}

bool ValidatorTestAccess::ApplicationLaunched(Validator& validator) {
  std::lock_guard lock(validator.applicationLock);
  return validator.applicationLaunched;
}

int32_t ValidatorTestAccess::WaitForSession(Validator& validator, bool newerShell) {
  Validator::SessionSearch search;
  search.newerShell = newerShell;
  return validator.WaitFor([&] { return validator.FindFocusedSession(search); },
                           Validator::kSessionWaitMs, true);
}

void ValidatorTestAccess::AddSession(Validator& validator, uint32_t processId) {
  std::lock_guard lock(validator.eventLock);
  validator.FindOrCreateProcessRecord(processId).sessionCreatedTime = 1.0;
}

void ValidatorTestAccess::AddRecordWithoutSession(Validator& validator, uint32_t processId) {
  std::lock_guard lock(validator.eventLock);
  validator.FindOrCreateProcessRecord(processId);
}

void ValidatorTestAccess::AddFirstFrame(Validator& validator, uint32_t processId,
                                        double delaySeconds, bool headTracked) {
  std::lock_guard lock(validator.eventLock);
  ProcessRecord& record = validator.FindOrCreateProcessRecord(processId);
  record.firstFrameDelay = delaySeconds;
  record.firstLayersSeen = true;
  record.headTrackedLayerSeen = headTracked;
}

testsupport::ShellScript ValidatorTestAccess::ApplicationInFront(
    const std::atomic<Validator*>& validator) {
  auto added = std::make_shared<std::atomic<bool>>(false);
  return [&validator, added](const std::string& path) -> std::optional<testsupport::ShellAnswer> {
    Validator* const subject = validator.load();
    const uint32_t launched = subject != nullptr ? LaunchedProcessId(*subject) : 0;
    if (path == "/life_cycle/get_actual_location") {
      if (!added->exchange(true)) AddSession(*subject, launched);
      return testsupport::ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})"};
    }
    if (path == "/life_cycle/get_top_app_render_pid") return testsupport::PidAnswer(launched);
    return std::nullopt;
  };
}

FrontApplicationRig::FrontApplicationRig(std::function<bool()> enterPressed,
                                         const ShellFactory& shell)
    : surroundings(testsupport::Answering(shell(pointer))),
      validator({{}, time.Services(std::move(enterPressed))}) {
  pointer = &validator;
  validator.SetApplication("/bin/sleep", {"30"});
}

}  // namespace QasValidator
