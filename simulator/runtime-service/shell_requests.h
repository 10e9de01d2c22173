#pragma once

#include <json/value.h>

#include <map>
#include <string>
#include <string_view>

#include "shell_state.h"

namespace luxsim {

/// The payload of a response: its "payloadType" and its "payload" object.
struct ShellPayload {
  std::string type;
  Json::Value body;
};

/// The response to one request of the shell service.
struct ShellResponse {
  std::string path;     // the request's "requestName"; empty when the envelope had none
  std::string message;  // the response message, compact JSON
};

/// The JSON side of the shell service "HUB_IPC". Each request is an envelope
/// {"requestName": path, "requestData": data, "sequenceId": id}; each is answered with
/// {"messageType": "RESPONSE", "sequenceId": id, "payloadType": type, "payload": {...}} from
/// the shell's state. Requests that are done answer "PLAIN_STRING" {"value": "OK"}; queries
/// answer with their own payload type. An unknown path, data of the wrong shape, or a request
/// the state refuses is answered with "ERROR" {"message": reason}.
///
/// An older shell does not know the requests that came with the dash: "get_dash_visibility",
/// "get_focused_pid", "get_hsw_needed", "hsw_acked" and "close_app" (under "/life_cycle/") are
/// unknown to it. It answers them with an error at once rather than staying silent, so that a
/// client probing for the newer shell does not wait for a response that never comes.
class ShellRequests {
 public:
  ShellRequests(ShellState& state, bool olderShell);

  /// Carries out the request in `envelope` and returns its response.
  ShellResponse Answer(std::string_view envelope);

 private:
  using Payload = ShellPayload;
  using Handler = Payload (ShellRequests::*)(const Json::Value& data);

  Payload CloseApp(const Json::Value& data);
  Payload RequestLocation(const Json::Value& data);
  Payload RequestAppShouldRecenter(const Json::Value& data);
  Payload PromptResponse(const Json::Value& data);
  Payload SetProximitySensor(const Json::Value& data);
  Payload RequestTheVoid(const Json::Value& data);
  Payload SetAudioMode(const Json::Value& data);
  Payload SetMirrorSettings(const Json::Value& data);
  Payload GetActualLocation(const Json::Value& data);
  Payload GetHswNeeded(const Json::Value& data);
  Payload HswAcked(const Json::Value& data);
  Payload GetFrontProcess(const Json::Value& data);
  Payload GetDashVisibility(const Json::Value& data);
  Payload GetFocusAware(const Json::Value& data);

  ShellState& state_;
  std::map<std::string, Handler, std::less<>> handlers_;
};

}  // namespace luxsim
