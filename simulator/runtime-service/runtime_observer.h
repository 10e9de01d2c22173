#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lux/lux_capi.h"
#include "request_router.h"

namespace luxsim {

using SessionId = uint64_t;

/// The status flags of a session, in the order of luxSessionStatus.
struct SessionStatus {
  bool visible = false;
  bool hmdPresent = false;
  bool hmdMounted = false;
  bool displayLost = false;
  bool shouldQuit = false;
  bool shouldRecenter = false;

  bool operator==(const SessionStatus&) const = default;
};

/// A client library connected to the service.
struct Client {
  ClientId id = 0;
  uint32_t pid = 0;
  uint32_t requestedMinorVersion = 0;
  /// The SDK version the client library reported ("1.43.0"), empty until it does.
  std::string sdkVersion;
  bool realtimeEventOutput = false;
  /// Declared at lux_Initialize (luxInit_FocusAware): the application keeps rendering while the
  /// system menu is shown over it.
  bool focusAware = false;
};

/// A session of a client.
struct Session {
  SessionId id = 0;
  ClientId client = 0;
  uint32_t pid = 0;
  double createdTime = 0.0;  // on the runtime's clock
  SessionStatus status;
  uint64_t framesSubmitted = 0;
  std::vector<uint64_t> swapChains;
  // Requests of the shell and the headset, kept until the session acts on them.
  bool shouldQuit = false;
  bool shouldRecenter = false;
  bool displayLost = false;
};

/// One layer of a submitted frame.
struct SubmittedLayer {
  int type = luxLayerType_Disabled;
  bool hasRenderPose = false;
  luxPosef renderPose{};
};

/// What happens in the runtime, as its parts that report it (the realtime event stream, the
/// usage records) see it. Every method has an empty default.
class RuntimeObserver {
 public:
  virtual ~RuntimeObserver() = default;

  virtual void OnClientConnected(const Client&) {}
  virtual void OnClientDisconnected(const Client&) {}
  virtual void OnClientBuildReported(const Client&) {}
  virtual void OnClientIdentified(const Client&, const std::string& /*identity*/) {}
  virtual void OnRealtimeEventOutputChanged(const Client&) {}
  virtual void OnPropertyRead(const Client&, const std::string& /*name*/) {}
  virtual void OnSessionCreated(const Session&) {}
  virtual void OnSessionDestroyed(const Session&) {}
  virtual void OnSessionStatusChanged(const Session&) {}
  virtual void OnFrameSubmitted(const Session&, int64_t /*frameIndex*/,
                                const std::vector<SubmittedLayer>&) {}
  virtual void OnSwapChainCommitted(const Session&, uint64_t /*swapChain*/) {}
  virtual void OnRenderDescFetched(const Session&, luxEyeType, const luxPosef& /*eyePose*/) {}
  virtual void OnRecenterFlagCleared(const Session&) {}
};

}  // namespace luxsim
