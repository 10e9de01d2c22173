#pragma once

#include <string>

#include "event_loop.h"
#include "headset_state.h"
#include "property_store.h"
#include "request_router.h"
#include "session_registry.h"

namespace luxsim {

/// The core of the runtime service that its modules work with.
struct ServiceContext {
  EventLoop& loop;
  HeadsetState& headset;
  SessionRegistry& sessions;
  PropertyStore& properties;
  RequestRouter& requests;
};

/// A part of the runtime service beyond its core (the usage records, and later the realtime
/// event stream, the compositor clock, the shell service, the breaker box): it registers the
/// requests it serves, observes the sessions, watches its own descriptors and timers.
class ServiceModule {
 public:
  virtual ~ServiceModule() = default;
  /// Attaches the module to the core before clients are accepted; false, with the reason in
  /// `error`, when it cannot start.
  virtual bool Start(ServiceContext& context, std::string* error) = 0;
};

}  // namespace luxsim
