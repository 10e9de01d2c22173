#include "shell_requests.h"

#include <json/writer.h>

#include <cstring>
#include <optional>
#include <set>

#include "hub/hub_message.h"

namespace luxsim {

namespace {

using QasValidator::ParseHubMessage;
using QasValidator::StringMember;

// The requests that came with the dash, unknown to an older shell.
const std::set<std::string, std::less<>> kNewerShellPaths = {
    "/life_cycle/get_dash_visibility", "/life_cycle/get_focused_pid", "/life_cycle/get_hsw_needed",
    "/life_cycle/hsw_acked",           "/life_cycle/close_app",
};

const Json::Value* Member(const Json::Value& data, const char* key) {
  return data.isObject() ? data.find(key, key + std::strlen(key)) : nullptr;
}

std::optional<uint32_t> UnsignedMember(const Json::Value& data, const char* key) {
  const Json::Value* member = Member(data, key);
  if (member == nullptr || !member->isUInt()) return std::nullopt;
  return member->asUInt();
}

std::optional<bool> BoolMember(const Json::Value& data, const char* key) {
  const Json::Value* member = Member(data, key);
  if (member == nullptr || !member->isBool()) return std::nullopt;
  return member->asBool();
}

// The "response" of a prompt: 1 confirms, 0 declines.
std::optional<bool> PromptAnswer(const Json::Value& data) {
  const std::optional<uint32_t> response = UnsignedMember(data, "response");
  if (!response || *response > 1) return std::nullopt;
  return *response == 1;
}

ShellPayload MakePayload(const char* type, const char* key, Json::Value value) {
  ShellPayload payload{type, Json::Value(Json::objectValue)};
  payload.body[key] = std::move(value);
  return payload;
}

ShellPayload ErrorPayload(const std::string& reason) {
  return MakePayload("ERROR", "message", reason);
}

ShellPayload BadData(const char* expected) {
  return ErrorPayload(std::string("Bad request data: expected ") + expected);
}

ShellPayload OutcomePayload(const ShellOutcome& outcome) {
  return outcome.IsDone() ? MakePayload("PLAIN_STRING", "value", "OK")
                          : ErrorPayload(outcome.reason);
}

}  // namespace

ShellRequests::ShellRequests(ShellState& state, bool olderShell) : state_(state) {
  handlers_ = {
      {"/life_cycle/close_app", &ShellRequests::CloseApp},
      {"/life_cycle/request_location", &ShellRequests::RequestLocation},
      {"/life_cycle/request_app_should_recenter", &ShellRequests::RequestAppShouldRecenter},
      {"/life_cycle/prompt_response", &ShellRequests::PromptResponse},
      {"/hardware/set_proximity_sensor", &ShellRequests::SetProximitySensor},
      {"/life_cycle/request_the_void", &ShellRequests::RequestTheVoid},
      {"/hardware/set_audio_mode", &ShellRequests::SetAudioMode},
      {"/hardware/set_mirror_settings", &ShellRequests::SetMirrorSettings},
      {"/life_cycle/get_actual_location", &ShellRequests::GetActualLocation},
      {"/life_cycle/get_hsw_needed", &ShellRequests::GetHswNeeded},
      {"/life_cycle/hsw_acked", &ShellRequests::HswAcked},
      {"/life_cycle/get_top_app_render_pid", &ShellRequests::GetFrontProcess},
      {"/life_cycle/get_focused_pid", &ShellRequests::GetFrontProcess},
      {"/life_cycle/get_dash_visibility", &ShellRequests::GetDashVisibility},
      {"/life_cycle/get_focus_aware", &ShellRequests::GetFocusAware},
  };
  if (olderShell) {
    for (const std::string& path : kNewerShellPaths) handlers_.erase(path);
  }
}

ShellResponse ShellRequests::Answer(std::string_view envelope) {
  const std::optional<Json::Value> request = ParseHubMessage(envelope);
  ShellResponse response;
  ShellPayload payload;
  std::string id;
  if (!request || !request->isObject()) {
    payload = ErrorPayload("The request is not a JSON object");
  } else {
    id = StringMember(*request, "sequenceId").value_or("");
    response.path = StringMember(*request, "requestName").value_or("");
    const auto handler = handlers_.find(response.path);
    const Json::Value* data = Member(*request, "requestData");
    payload = handler == handlers_.end()
                  ? ErrorPayload("Unknown request: " + response.path)
                  : (this->*handler->second)(data != nullptr ? *data : Json::Value());
  }
  Json::Value message(Json::objectValue);
  message["messageType"] = "RESPONSE";
  message["sequenceId"] = id;
  message["payloadType"] = payload.type;
  message["payload"] = payload.body;
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  response.message = Json::writeString(writer, message);
  return response;
}

ShellPayload ShellRequests::CloseApp(const Json::Value& data) {
  const std::optional<uint32_t> pid = UnsignedMember(data, "pid");
  if (!pid) return BadData(R"({"pid": process id})");
  return OutcomePayload(state_.CloseApp(*pid));
}

ShellPayload ShellRequests::RequestLocation(const Json::Value& data) {
  const std::optional<std::string> location = StringMember(data, "location");
  if (!location) return BadData(R"({"location": "UM", "APP", "APP_CLOSE" or "HSW"})");
  return OutcomePayload(state_.RequestLocation(*location));
}

ShellPayload ShellRequests::RequestAppShouldRecenter(const Json::Value& data) {
  const std::optional<uint32_t> pid = UnsignedMember(data, "pid");
  if (!pid) return BadData(R"({"pid": process id})");
  return OutcomePayload(state_.RequestRecenter(*pid));
}

ShellPayload ShellRequests::PromptResponse(const Json::Value& data) {
  const std::optional<bool> confirm = PromptAnswer(data);
  if (!confirm) return BadData(R"({"response": 1 or 0})");
  return OutcomePayload(state_.PromptResponse(*confirm));
}

ShellPayload ShellRequests::SetProximitySensor(const Json::Value& data) {
  const std::optional<bool> wearing = BoolMember(data, "wearing_hmd");
  if (!wearing) return BadData(R"({"wearing_hmd": true or false})");
  state_.SetWorn(*wearing);
  return OutcomePayload(ShellOutcome::Done());
}

ShellPayload ShellRequests::RequestTheVoid(const Json::Value& data) {
  const std::optional<bool> shown = BoolMember(data, "requestTheVoid");
  const std::optional<uint32_t> pid = UnsignedMember(data, "pid");
  if (!shown || !pid) return BadData(R"({"requestTheVoid": true or false, "pid": process id})");
  return OutcomePayload(state_.ShowDash(*pid, *shown));
}

ShellPayload ShellRequests::SetAudioMode(const Json::Value& data) {
  const std::optional<std::string> device = StringMember(data, "device");
  const std::optional<std::string> mode = StringMember(data, "mode");
  if (!device || !mode) return BadData(R"({"device": "tarn" or "windowsDefault", "mode": ...})");
  return OutcomePayload(state_.SetAudioMode(*device, *mode));
}

ShellPayload ShellRequests::SetMirrorSettings(const Json::Value& data) {
  const std::optional<std::string> mode = StringMember(data, "mode");
  const std::optional<std::string> direction = StringMember(data, "direction");
  if (!mode || !direction) return BadData(R"({"mode": ..., "direction": ...})");
  return OutcomePayload(state_.SetMirrorMode(*mode, *direction));
}

ShellPayload ShellRequests::GetActualLocation(const Json::Value&) {
  return MakePayload("LIFE_CYCLE_LOCATION_UPDATE", "location",
                     std::string(LocationName(state_.Location())));
}

ShellPayload ShellRequests::GetHswNeeded(const Json::Value&) {
  return MakePayload("HSW_NEEDED_UPDATE", "needed", state_.HealthAndSafetyWarningNeeded());
}

ShellPayload ShellRequests::HswAcked(const Json::Value& data) {
  const std::optional<bool> confirm = PromptAnswer(data);
  if (!confirm || !*confirm) return BadData(R"({"response": 1})");
  return OutcomePayload(state_.AcknowledgeWarning());
}

ShellPayload ShellRequests::GetFrontProcess(const Json::Value&) {
  return MakePayload("PLAIN_PID", "pid", Json::UInt(state_.FrontProcess()));
}

ShellPayload ShellRequests::GetDashVisibility(const Json::Value&) {
  return MakePayload("DASH_VISIBILITY", "dashVisibility",
                     state_.DashShownOverFront() ? "VISIBLE" : "HIDDEN");
}

ShellPayload ShellRequests::GetFocusAware(const Json::Value& data) {
  const std::optional<uint32_t> pid = UnsignedMember(data, "pid");
  if (!pid) return BadData(R"({"pid": process id})");
  const std::optional<bool> focusAware = state_.FocusAware(*pid);
  if (!focusAware) return ErrorPayload(NoSessionOf(*pid));
  return MakePayload("BOOL", "value", *focusAware);
}

}  // namespace luxsim
