#pragma once

#include <memory>

#include "service_module.h"

namespace luxsim {

/// The requests of the runtime's client API: the client's introduction, sessions and their
/// status, properties, frames, rendering descriptions, swap chains, recentering, client
/// identification, tracing and the switch of the realtime event output.
class CoreRequests final : public ServiceModule {
 public:
  CoreRequests();
  ~CoreRequests() override;
  bool Start(ServiceContext& context, std::string* error) override;

 private:
  class Handlers;
  std::unique_ptr<Handlers> handlers_;
};

}  // namespace luxsim
