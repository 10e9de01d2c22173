#include "support/validator_test_access.h"

#include <algorithm>
#include <memory>

#include "support/test_programs.h"

namespace testsupport {

QasValidator::WaitServices FakeTime::Services(std::function<bool()> enterPressed) {
  using QasValidator::WaitServices;
  WaitServices services;
  services.now = [this] {
    return WaitServices::Clock::time_point(std::chrono::microseconds(micros_.load()));
  };
  services.sleep = [this](std::chrono::microseconds duration) { Advance(duration); };
  services.pause = [this](WaitServices::WakeSources sources, std::chrono::microseconds duration,
                          bool) {
    const uint32_t signalled = platform::WaitForMultiple(sources, 0);
    if (signalled < sources.size()) return signalled;
    if (duration != WaitServices::kForever) Advance(duration);
    return platform::kWaitTimeout;
  };
  services.enterPressed = std::move(enterPressed);
  services.showProgress = nullptr;
  return services;
}

std::chrono::milliseconds FakeTime::Elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::microseconds(micros_.load()));
}

ValidatorSurroundings::ValidatorSurroundings(ShellService::Responder responder, bool settingsTaken)
    : shell(std::move(responder)), settings(settingsTaken) {
  shell.Start();
}

}  // namespace testsupport

namespace QasValidator {

void ValidatorTestAccess::SetSessionProcess(Validator& validator, uint32_t exitCode,
                                            uint32_t processId) {
  std::lock_guard lock(validator.sessionProcessLock);
  validator.sessionProcessHandle =
      std::make_shared<platform::ProcessHandle>(*platform::ProcessHandle::Open(processId));
  validator.exitCode = exitCode;
}

void ValidatorTestAccess::Deliver(Validator& validator,
                                  std::vector<LUX::Telemetry::TelemetryEvent> batch) {
  std::vector<LUX::Telemetry::TelemetryEvent*> pointers;
  for (LUX::Telemetry::TelemetryEvent& record : batch) pointers.push_back(&record);
  validator.OnTelemetryEvents(pointers.data(), static_cast<int32_t>(pointers.size()));
  validator.OnBatchDelivered();
}

bool ValidatorTestAccess::ApplicationLaunched(Validator& validator) {
  std::lock_guard lock(validator.applicationLock);
  return validator.applicationLaunched;
}

int32_t ValidatorTestAccess::WaitForSession(Validator& validator, bool newerShell) {
  Validator::SessionSearch search;
  search.newerShell = newerShell;
  return validator.WaitForSession(search);
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
      if (!added->exchange(true)) {
        testsupport::WaitUntilShown(launched);
        AddSession(*subject, launched);
      }
      return testsupport::ShellAnswer{"LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})"};
    }
    if (path == "/life_cycle/get_top_app_render_pid") return testsupport::PidAnswer(launched);
    return std::nullopt;
  };
}

testsupport::ShellScript ValidatorTestAccess::NewerShellApplicationInFront(
    const std::atomic<Validator*>& validator) {
  auto added = std::make_shared<std::atomic<bool>>(false);
  return [&validator, added](const std::string& path) -> std::optional<testsupport::ShellAnswer> {
    Validator* const subject = validator.load();
    const uint32_t launched = subject != nullptr ? LaunchedProcessId(*subject) : 0;
    if (path == "/life_cycle/get_dash_visibility") {
      return testsupport::ShellAnswer{"DASH_VISIBILITY", R"({"dashVisibility":"HIDDEN"})"};
    }
    if (path == "/life_cycle/get_focused_pid") {
      if (!added->exchange(true)) {
        testsupport::WaitUntilShown(launched);
        AddSession(*subject, launched);
      }
      return testsupport::PidAnswer(launched);
    }
    if (path == "/life_cycle/get_hsw_needed") {
      return testsupport::ShellAnswer{"HSW_NEEDED_UPDATE", R"({"needed":false})"};
    }
    return std::nullopt;
  };
}

FrontApplicationRig::FrontApplicationRig(std::function<bool()> enterPressed,
                                         const ShellFactory& shell, PauseHook onPause)
    : surroundings(testsupport::Answering(shell(pointer))),
      validator({{}, PausingServices(std::move(enterPressed), std::move(onPause))}) {
  pointer = &validator;
  const testsupport::TestProgram program = testsupport::SleepingProgram("30");
  validator.SetApplication(program.path, program.arguments);
}

WaitServices FrontApplicationRig::PausingServices(std::function<bool()> enterPressed,
                                                  PauseHook onPause) {
  WaitServices services = time.Services(std::move(enterPressed));
  if (!onPause) return services;
  services.sleep = [this, onPause,
                    sleep = std::move(services.sleep)](std::chrono::microseconds pause) {
    sleep(pause);
    if (Validator* subject = pointer.load()) onPause(*subject);
  };
  services.pause = [this, onPause, pause = std::move(services.pause)](
                       WaitServices::WakeSources sources, std::chrono::microseconds duration,
                       bool keys) {
    const uint32_t woke = pause(
        sources, std::min<std::chrono::microseconds>(duration, std::chrono::milliseconds(1)), keys);
    if (Validator* subject = pointer.load()) onPause(*subject);
    return woke;
  };
  return services;
}

}  // namespace QasValidator
