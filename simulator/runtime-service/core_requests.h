#pragma once

#include <cstdint>
#include <memory>

#include "protocol/simulated_headset.h"
#include "service_module.h"

namespace luxsim {

/// The requests of the runtime's client API: the client's introduction, sessions and their
/// status, properties, frames, rendering descriptions, swap chains, recentering, client
/// identification, tracing and the switch of the realtime event output; and the simulator's
/// own: the headset's HDMI cable, the adapter an application renders on.
class CoreRequests final : public ServiceModule {
 public:
  /// `headsetAdapterLuid`: the LUID of the display adapter that drives the headset.
  explicit CoreRequests(uint64_t headsetAdapterLuid = kHeadsetAdapterLuid);
  ~CoreRequests() override;
  bool Start(ServiceContext& context, std::string* error) override;

 private:
  class Handlers;
  uint64_t headsetAdapterLuid_;
  std::unique_ptr<Handlers> handlers_;
};

}  // namespace luxsim
