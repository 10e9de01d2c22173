// The requests of the shell service, one operation per request path, and how each turns the
// service's response into its result (the reading itself is in hub_message.cpp).

#include "hub/hub_message.h"
#include "hub/hub_remote_control.h"
#include "log/validator_log.h"

namespace QasValidator {

namespace {

// Request data of the requests that carry none.
const Json::Value kNoData("");

Json::Value ProcessIdData(uint32_t processId) {
  Json::Value data(Json::objectValue);
  data["pid"] = Json::UInt(processId);
  return data;
}

Json::Value ResponseData() {
  Json::Value data(Json::objectValue);
  data["response"] = 1;
  return data;
}

}  // namespace

bool HubRemoteControl::OkAnswer(const std::string& path, const Json::Value& data) {
  Json::Value response;
  SendRequest(path, data, response);
  return IsOkAnswer(response);
}

bool HubRemoteControl::ProcessIdAnswer(const std::string& path, uint32_t& processId) {
  Json::Value response;
  SendRequest(path, kNoData, response);
  const std::optional<uint32_t> answer = ReadProcessId(response);
  processId = answer.value_or(0);
  return answer.has_value();
}

bool HubRemoteControl::DashVisibilityAnswer(std::string& visibility) {
  Json::Value response;
  SendRequest("/life_cycle/get_dash_visibility", kNoData, response);
  const std::optional<std::string> answer = ReadDashVisibility(response);
  if (answer) visibility = *answer;
  return answer.has_value();
}

bool HubRemoteControl::CloseApp(uint32_t processId) {
  return OkAnswer("/life_cycle/close_app", ProcessIdData(processId));
}

bool HubRemoteControl::RequestLocation(const std::string& location) {
  Json::Value data(Json::objectValue);
  data["location"] = location;
  return OkAnswer("/life_cycle/request_location", data);
}

bool HubRemoteControl::RequestAppShouldRecenter(uint32_t processId) {
  return OkAnswer("/life_cycle/request_app_should_recenter", ProcessIdData(processId));
}

bool HubRemoteControl::PromptResponse() {
  return OkAnswer("/life_cycle/prompt_response", ResponseData());
}

bool HubRemoteControl::SetProximitySensor(bool wearingHmd) {
  Json::Value data(Json::objectValue);
  data["wearing_hmd"] = wearingHmd;
  return OkAnswer("/hardware/set_proximity_sensor", data);
}

bool HubRemoteControl::RequestTheVoid(bool requestTheVoid, uint32_t processId) {
  Json::Value data = ProcessIdData(processId);
  data["requestTheVoid"] = requestTheVoid;
  return OkAnswer("/life_cycle/request_the_void", data);
}

bool HubRemoteControl::SetAudioMode(const std::string& device, const std::string& mode) {
  Json::Value data(Json::objectValue);
  data["device"] = device;
  data["mode"] = mode;
  return OkAnswer("/hardware/set_audio_mode", data);
}

bool HubRemoteControl::SetMirrorSettings(const std::string& mode, const std::string& direction) {
  Json::Value data(Json::objectValue);
  data["mode"] = mode;
  data["direction"] = direction;
  return OkAnswer("/hardware/set_mirror_settings", data);
}

bool HubRemoteControl::GetActualLocation(std::string& location) {
  Json::Value response;
  SendRequest("/life_cycle/get_actual_location", kNoData, response);
  const std::optional<std::string> answer = ReadLocation(response);
  location = answer.value_or("");
  return answer.has_value();
}

bool HubRemoteControl::GetHswNeeded() {
  Json::Value response;
  SendRequest("/life_cycle/get_hsw_needed", kNoData, response);
  return ReadHswNeeded(response);
}

bool HubRemoteControl::HswAcked() {
  Json::Value ignored;
  return SendRequest("/life_cycle/hsw_acked", ResponseData(), ignored, ResponseUse::kLeave);
}

bool HubRemoteControl::GetTopAppRenderPid(uint32_t& processId) {
  return ProcessIdAnswer("/life_cycle/get_top_app_render_pid", processId);
}

bool HubRemoteControl::GetFocusedPid(uint32_t& processId) {
  return ProcessIdAnswer("/life_cycle/get_focused_pid", processId);
}

bool HubRemoteControl::GetDashVisibility(std::string& visibility) {
  return DashVisibilityAnswer(visibility);
}

bool HubRemoteControl::GetDashVisibility() {
  std::string ignored;
  return DashVisibilityAnswer(ignored);
}

bool HubRemoteControl::GetFocusAware(uint32_t processId) {
  Json::Value response;
  SendRequest("/life_cycle/get_focus_aware", ProcessIdData(processId), response);
  if (const std::optional<bool> aware = ReadFocusAware(response)) return *aware;
  LogInfo("Could not determine if app is focus aware. Testing as if app is not focus aware.");
  return false;
}

}  // namespace QasValidator
