#pragma once

#include <json/value.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core_requests.h"
#include "event_loop.h"
#include "service_module.h"

namespace testsupport {

/// The core of the simulated runtime service in this process, on a machine prefix of its own
/// (a fresh folder), without a client socket: the loop, the headset (connected), the
/// sessions, the properties and the client API (`CoreRequests`), wired as the service wires
/// them. Requests are dispatched directly; the registry's clock is `now`.
class SimulatedCore {
 public:
  /// `name` names the machine prefix's folder.
  explicit SimulatedCore(const std::string& name);
  ~SimulatedCore();

  luxsim::EventLoop& Loop() { return loop_; }
  luxsim::HeadsetState& Headset() { return *headset_; }
  luxsim::SessionRegistry& Sessions() { return *registry_; }
  luxsim::PropertyStore& Properties() { return properties_; }
  luxsim::RequestRouter& Requests() { return router_; }
  luxsim::ServiceContext& Context() { return *context_; }

  /// Dispatches request `op` with `fields` from `client` and returns the answer.
  Json::Value Call(luxsim::ClientId client, const std::string& op,
                   Json::Value fields = Json::objectValue);

  /// Seconds on the registry's clock.
  double now = 100.0;

 private:
  std::string prefix_;
  luxsim::EventLoop loop_;
  std::optional<luxsim::HeadsetState> headset_;
  std::unique_ptr<luxsim::SessionRegistry> registry_;
  luxsim::PropertyStore properties_;
  luxsim::RequestRouter router_;
  std::unique_ptr<luxsim::ServiceContext> context_;
  luxsim::CoreRequests core_;
};

/// A JSON object of the given fields.
Json::Value Fields(std::initializer_list<std::pair<const char*, Json::Value>> fields);

}  // namespace testsupport
