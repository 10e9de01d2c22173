#pragma once

#include <cstdint>
#include <optional>
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
  /// The dash is shown over the session in front (the headset worn); the session is not
  /// visible, but a focus-aware application keeps rendering behind the dash.
  bool overlayPresent = false;

  bool operator==(const SessionStatus&) const = default;
};

/// The SDK build a client was compiled with, as it reported it (lux_ReportClientInfo).
struct ClientBuild {
  uint32_t buildTool = 0;
  uint32_t product = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t patch = 0;
  uint32_t buildNumber = 0;

  /// "major.minor.patch", e.g. "1.43.0".
  std::string VersionText() const {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
  }
};

/// A client library connected to the service.
struct Client {
  ClientId id = 0;
  uint32_t pid = 0;
  uint32_t requestedMinorVersion = 0;
  /// The SDK build the client library reported; nothing until it does.
  std::optional<ClientBuild> build;
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
  // Requests of the shell, kept until the session acts on them.
  bool shouldQuit = false;
  bool shouldRecenter = false;
  /// The LUID of the display adapter the application renders the session's frames on, as it
  /// told the runtime (luxsim_SetRenderAdapter); nothing while it has not.
  std::optional<uint64_t> renderAdapterLuid;
  /// The session ended because its client went away (died or hung up) without destroying it.
  bool clientGone = false;
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
