#pragma once

#include <json/json.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ipc/client.h"
#include "ipc/remote_function.h"

namespace QasValidator {

/// Time limits of the shell client; tests shorten them.
struct HubTiming {
  uint32_t responseTimeoutMs = 30000;  // longest wait for the call of a request and for its
                                       // response, each
  uint32_t reconnectPauseMs = 5000;    // pause before reconnecting a lost connection
};

/// The validator's client of the runtime's shell service "HUB_IPC". Each request is a JSON
/// envelope sent through the service's function "toHub"; the service answers by calling this
/// client's function "toClient" with JSON messages, and a response carries the "sequenceId" of
/// its request. Every request blocks until its response arrives or the response timeout
/// passes, one request at a time, and yields a plain result; it never throws. Failures show
/// only as the log lines of the validator log.
///
/// A lost connection is noticed at once (a waiting request fails) and re-established lazily by
/// the next request after the reconnect pause. A service that does not even take a request
/// within the response timeout loses its connection the same way.
///
/// Messages that no request takes (events of the service, responses that came too late) are
/// kept until `ClearMessages`, at most `kMaxKeptMessages`: beyond that the oldest is dropped
/// and counted.
class HubRemoteControl : public IPC::ClientListener {
 public:
  static constexpr size_t kMaxKeptMessages = 256;

  /// Connects to the service at once; a failed connect shows in the next request.
  explicit HubRemoteControl(HubTiming timing = {});
  ~HubRemoteControl() override;
  HubRemoteControl(const HubRemoteControl&) = delete;
  HubRemoteControl& operator=(const HubRemoteControl&) = delete;

  /// Connects (again) to "HUB_IPC" with a new IPC client.
  void Connect();
  /// False from a failed connect or a lost connection until the next successful connect.
  bool IsConnected() const { return connected_.load(); }

  // Requests with an OK answer: true when the service answered "OK" or "Ok".
  bool CloseApp(uint32_t processId);                  // "/life_cycle/close_app"
  bool RequestLocation(const std::string& location);  // "/life_cycle/request_location"
  bool RequestAppShouldRecenter(uint32_t processId);  // ".../request_app_should_recenter"
  bool PromptResponse();                              // "/life_cycle/prompt_response"
  bool SetProximitySensor(bool wearingHmd);           // "/hardware/set_proximity_sensor"
  bool RequestTheVoid(bool requestTheVoid, uint32_t processId);  // "/life_cycle/request_the_void"
  bool SetAudioMode(const std::string& device, const std::string& mode);  // ".../set_audio_mode"
  bool SetMirrorSettings(const std::string& mode, const std::string& direction);

  /// "/life_cycle/get_actual_location": the location, or "" and false.
  bool GetActualLocation(std::string& location);
  /// "/life_cycle/get_hsw_needed": whether the health-and-safety warning is needed (false when
  /// unknown).
  bool GetHswNeeded();
  /// "/life_cycle/hsw_acked": true when a response arrived in time; it stays in the list.
  bool HswAcked();
  /// "/life_cycle/get_top_app_render_pid": the process id, or 0 and false.
  bool GetTopAppRenderPid(uint32_t& processId);
  /// "/life_cycle/get_focused_pid": the process id, or 0 and false.
  bool GetFocusedPid(uint32_t& processId);
  /// "/life_cycle/get_dash_visibility": the dash visibility; false when the answer is invalid.
  bool GetDashVisibility(std::string& visibility);
  /// The same request as a probe: only whether the service gave a valid answer.
  bool GetDashVisibility();
  /// "/life_cycle/get_focus_aware": whether the application is focus aware (false, with an
  /// Info line, when unknown).
  bool GetFocusAware(uint32_t processId);

  /// Empties the list of received messages.
  void ClearMessages();
  /// The received messages not taken by a request, oldest first.
  std::vector<Json::Value> ReceivedMessages() const;
  /// How many kept messages were dropped to make room for newer ones.
  uint64_t DroppedMessages() const;

  /// The function "toClient": one message of the service, read in place from the connection.
  void OnMessage(std::string_view message);
  void OnDisconnected() override;

 private:
  /// What a request does with its response.
  enum class ResponseUse { kTake, kLeave };

  /// Sends the request `path` with `data` and waits for its response; true when the response
  /// arrived. With kTake the response is removed from the list into `response` (null on
  /// failure).
  bool SendRequest(const std::string& path, const Json::Value& data, Json::Value& response,
                   ResponseUse use = ResponseUse::kTake);
  bool Send(const std::string& json, const std::string& id, ResponseUse use, Json::Value& response);
  void ConnectLocked();
  void LogTimeout() const;
  bool OkAnswer(const std::string& path, const Json::Value& data);
  bool ProcessIdAnswer(const std::string& path, uint32_t& processId);
  bool DashVisibilityAnswer(std::string& visibility);

  const HubTiming timing_;
  std::atomic<uint32_t> requestCounter_{0};
  std::atomic<bool> connected_{false};

  mutable std::mutex listLock_;
  std::condition_variable responseEvent_;  // a response arrived or the connection went away
  std::list<Json::Value> messages_;        // guarded by listLock_, oldest first
  uint64_t droppedMessages_ = 0;           // guarded by listLock_

  std::mutex sendLock_;                  // held for the whole of one request: send and wait
  IPC::RemoteFunction toHub_{"toHub"};   // guarded by sendLock_
  std::unique_ptr<IPC::Client> client_;  // guarded by sendLock_; destroyed first
};

}  // namespace QasValidator
