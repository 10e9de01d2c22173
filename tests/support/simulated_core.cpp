#include "support/simulated_core.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace testsupport {

SimulatedCore::SimulatedCore(const std::string& name)
    : prefix_(testing::TempDir() + name + "_" + std::to_string(getpid())) {
  std::filesystem::remove_all(prefix_);
  std::filesystem::create_directories(prefix_ + "/run/corvia");
  setenv("CORVIA_MACHINE_PREFIX", prefix_.c_str(), 1);
  headset_ = luxsim::HeadsetState::Create(true);
  EXPECT_TRUE(headset_.has_value());
  registry_ = std::make_unique<luxsim::SessionRegistry>(*headset_, [this] { return now; });
  registry_->AddObserver(&properties_);
  headset_->AddListener([this] { registry_->RefreshStatuses(); });
  context_ = std::make_unique<luxsim::ServiceContext>(
      luxsim::ServiceContext{loop_, *headset_, *registry_, properties_, router_});
  std::string error;
  EXPECT_TRUE(core_.Start(*context_, &error)) << error;
}

SimulatedCore::~SimulatedCore() {
  registry_.reset();
  headset_.reset();
  unsetenv("CORVIA_MACHINE_PREFIX");
  std::filesystem::remove_all(prefix_);
}

Json::Value SimulatedCore::Call(luxsim::ClientId client, const std::string& op,
                                Json::Value fields) {
  fields["op"] = op;
  const luxsim::Client* found = registry_->FindClient(client);
  Json::Value answer;
  router_.Dispatch({client, found != nullptr ? found->pid : 0}, fields,
                   [&](Json::Value sent) { answer = std::move(sent); });
  return answer;
}

Json::Value Fields(std::initializer_list<std::pair<const char*, Json::Value>> fields) {
  Json::Value object(Json::objectValue);
  for (const auto& [key, value] : fields) object[key] = value;
  return object;
}

}  // namespace testsupport
