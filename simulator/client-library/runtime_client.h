#pragma once

#include <json/value.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "lux/lux_capi.h"
#include "service_connection.h"

// The objects behind the SDK's opaque handles.
struct luxHmdStruct {
  uint64_t serviceId = 0;  // the session's number at the runtime service
  // Kept by the client: the runtime service does not need it.
  std::atomic<luxTrackingOrigin> trackingOrigin{luxTrackingOrigin_EyeLevel};
};

struct luxTextureSwapChainData {
  uint64_t serviceId;
  luxSession session;
  luxTextureSwapChainDesc desc;
  int currentIndex;
};

struct luxMirrorTextureData {
  luxSession session;
  luxMirrorTextureDesc desc;
};

namespace luxsim {

/// Number of buffers of every texture swap chain.
inline constexpr int kSwapChainLength = 3;

/// The process's link to the runtime service and the handles it gave out. Safe to use from
/// several threads.
class RuntimeClient {
 public:
  /// The one client of the process, never destroyed.
  static RuntimeClient& Instance();

  /// Connects to the runtime service and introduces the process; 0 on success. Initialising
  /// again while connected succeeds at once.
  luxResult Initialize(const luxInitParams& params);
  /// Disconnects and forgets every handle.
  void Shutdown();

  /// Sends request `op` with `fields` and returns the service's result; `response`, when
  /// given, receives the whole answer. A failure is also recorded as the last error.
  luxResult Call(const char* op, Json::Value fields, Json::Value* response = nullptr);

  /// Records `result` and `text` as the last error and returns `result`.
  luxResult Fail(luxResult result, const std::string& text);
  luxErrorInfo LastError() const;

  luxSession AddSession(uint64_t serviceId);
  /// The service's number for `session`; nothing (and the last error set) for an unknown one.
  std::optional<uint64_t> SessionId(luxSession session);
  /// Forgets `session` and its swap chains and mirror textures.
  void RemoveSession(luxSession session);

  luxTextureSwapChain AddSwapChain(luxSession session, uint64_t serviceId,
                                   const luxTextureSwapChainDesc& desc);
  /// A copy of the swap chain's state; nothing (and the last error set) when `chain` is not a
  /// swap chain of `session`.
  std::optional<luxTextureSwapChainData> SwapChain(luxSession session, luxTextureSwapChain chain);
  /// Moves the chain on to its next buffer after a commit.
  void AdvanceSwapChain(luxTextureSwapChain chain);
  void RemoveSwapChain(luxTextureSwapChain chain);

  luxMirrorTexture AddMirrorTexture(luxSession session, const luxMirrorTextureDesc& desc);
  bool HasMirrorTexture(luxSession session, luxMirrorTexture texture);
  void RemoveMirrorTexture(luxMirrorTexture texture);

 private:
  RuntimeClient();
  ~RuntimeClient() = default;
  friend union NeverDestroyedClient;

  std::shared_ptr<ServiceConnection> Connection();
  void Disconnect();

  std::mutex lifecycleMutex_;  // serialises Initialize and Shutdown
  mutable std::mutex mutex_;   // guards every field below
  std::shared_ptr<ServiceConnection> connection_;
  luxErrorInfo lastError_{};
  std::map<luxSession, std::unique_ptr<luxHmdStruct>> sessions_;
  std::map<luxTextureSwapChain, std::unique_ptr<luxTextureSwapChainData>> swapChains_;
  std::map<luxMirrorTexture, std::unique_ptr<luxMirrorTextureData>> mirrorTextures_;
};

/// The fields that name `session` in a request; nothing (and the last error set) when it is
/// null or not a session of this process.
std::optional<Json::Value> SessionRequest(luxSession session);
/// The same for requests whose scope may be the runtime itself: a null session names it.
std::optional<Json::Value> ScopeRequest(luxSession session);
/// True when `session` is a session of this process; otherwise the last error is set.
bool ValidSession(luxSession session);

/// Records an invalid-parameter failure with `text` as the last error and returns it.
luxResult InvalidArgument(const std::string& text);

}  // namespace luxsim
