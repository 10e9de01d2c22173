#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client_server.h"
#include "event_loop.h"
#include "headset_state.h"
#include "property_store.h"
#include "request_router.h"
#include "service_module.h"
#include "session_registry.h"

namespace luxsim {

/// The simulated runtime service: the event loop, the headset, the sessions and properties,
/// the client socket and the modules attached to them.
class RuntimeService {
 public:
  struct Options {
    bool headsetConnected = true;
  };

  explicit RuntimeService(Options options);
  ~RuntimeService();
  RuntimeService(const RuntimeService&) = delete;
  RuntimeService& operator=(const RuntimeService&) = delete;

  /// Adds a module; modules start in the order they were added.
  void AddModule(std::unique_ptr<ServiceModule> module);

  /// Creates the headset signal, starts the modules and listens for clients; false, with the
  /// reason in `error`, when any of it fails.
  bool Start(std::string* error);
  /// Dispatches events until SIGTERM or SIGINT arrives; false when the loop failed.
  bool Run();

  EventLoop& Loop() { return loop_; }

 private:
  Options options_;
  EventLoop loop_;
  RequestRouter requests_;
  PropertyStore properties_;
  std::optional<HeadsetState> headset_;
  std::unique_ptr<SessionRegistry> sessions_;
  std::unique_ptr<ServiceContext> context_;
  std::vector<std::unique_ptr<ServiceModule>> modules_;
  std::unique_ptr<ClientServer> server_;
};

}  // namespace luxsim
