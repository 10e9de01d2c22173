#include "runtime_service.h"

#include <signal.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/machine.h"
#include "protocol/service_address.h"

namespace luxsim {

RuntimeService::RuntimeService(Options options) : options_(options) {}

RuntimeService::~RuntimeService() {
  // Clients go first, so that the modules see their sessions end.
  server_.reset();
  modules_.clear();
}

void RuntimeService::AddModule(std::unique_ptr<ServiceModule> module) {
  modules_.push_back(std::move(module));
}

bool RuntimeService::Start(std::string* error) {
  if (!loop_.IsValid()) {
    *error = "cannot create the event loop";
    return false;
  }
  const std::string socketPath = RuntimeServiceSocketPath();
  if (ServiceListensAt(socketPath)) {
    *error = "another runtime service is running at " + socketPath;
    return false;
  }
  std::error_code failure;
  std::filesystem::create_directories(platform::RuntimeRunFolder(), failure);
  headset_ = HeadsetState::Create(options_.headsetConnected);
  if (failure || !headset_) {
    *error = "cannot create the headset signal in " + platform::RuntimeRunFolder();
    return false;
  }
  sessions_ = std::make_unique<SessionRegistry>(*headset_, platform::MonotonicSeconds);
  sessions_->AddObserver(&properties_);
  headset_->AddListener([this] { sessions_->RefreshStatuses(); });
  // The signals are blocked before the modules start, so that the threads they start block
  // them too and the signals reach the loop alone.
  const auto stop = [this] { loop_.Stop(); };
  if (!loop_.OnSignal(SIGTERM, stop) || !loop_.OnSignal(SIGINT, stop)) {
    *error = "cannot take the termination signals";
    return false;
  }
  context_ = std::make_unique<ServiceContext>(
      ServiceContext{loop_, *headset_, *sessions_, properties_, requests_});
  for (const std::unique_ptr<ServiceModule>& module : modules_) {
    if (!module->Start(*context_, error)) return false;
  }
  server_ = std::make_unique<ClientServer>(loop_, requests_, *sessions_);
  return server_->Listen(socketPath, error);
}

bool RuntimeService::Run() { return loop_.Run(); }

}  // namespace luxsim
