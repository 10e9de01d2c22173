#include "hub/hub_message.h"

#include <cstring>
#include <memory>

namespace QasValidator {

namespace {

const Json::Value* Member(const Json::Value& value, const char* key) {
  if (!value.isObject()) return nullptr;
  return value.find(key, key + std::strlen(key));
}

std::string CompactJson(const Json::Value& value) {
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  return Json::writeString(writer, value);
}

}  // namespace

std::string BuildRequestEnvelope(std::string_view path, const Json::Value& data, uint32_t id) {
  Json::Value envelope(Json::objectValue);
  envelope["requestName"] = std::string(path);
  envelope["requestData"] = data;
  envelope["sequenceId"] = std::to_string(id);
  return CompactJson(envelope);
}

std::optional<Json::Value> ParseHubMessage(std::string_view text) {
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  try {
    if (!reader->parse(text.data(), text.data() + text.size(), &value, nullptr)) {
      return std::nullopt;
    }
  } catch (const Json::Exception&) {
    return std::nullopt;  // e.g. nested deeper than the reader allows
  }
  return value;
}

std::optional<std::string> StringMember(const Json::Value& value, const char* key) {
  const Json::Value* member = Member(value, key);
  if (member == nullptr || !member->isString()) return std::nullopt;
  return member->asString();
}

const Json::Value* PayloadMember(const Json::Value& message, const char* key) {
  const Json::Value* payload = Member(message, "payload");
  return payload == nullptr ? nullptr : Member(*payload, key);
}

std::string PayloadType(const Json::Value& message) {
  return StringMember(message, "payloadType").value_or("");
}

bool IsResponse(const Json::Value& message) {
  return StringMember(message, "messageType") == "RESPONSE";
}

bool HasSequenceId(const Json::Value& message, const std::string& id) {
  return StringMember(message, "sequenceId") == id;
}

bool IsOkAnswer(const Json::Value& response) {
  if (PayloadType(response) != "PLAIN_STRING") return false;
  const Json::Value* value = PayloadMember(response, "value");
  return value != nullptr && value->isString() &&
         (value->asString() == "OK" || value->asString() == "Ok");
}

std::optional<std::string> ReadLocation(const Json::Value& response) {
  const Json::Value* location = PayloadMember(response, "location");
  if (PayloadType(response) != "LIFE_CYCLE_LOCATION_UPDATE" || location == nullptr ||
      !location->isString()) {
    return std::nullopt;
  }
  return location->asString();
}

bool ReadHswNeeded(const Json::Value& response) {
  const Json::Value* needed = PayloadMember(response, "needed");
  return PayloadType(response) == "HSW_NEEDED_UPDATE" && needed != nullptr && needed->isBool() &&
         needed->asBool();
}

std::optional<uint32_t> ReadProcessId(const Json::Value& response) {
  const Json::Value* pid = PayloadMember(response, "pid");
  if (PayloadType(response) != "PLAIN_PID" || pid == nullptr || !pid->isUInt()) return std::nullopt;
  return pid->asUInt();
}

std::optional<std::string> ReadDashVisibility(const Json::Value& response) {
  const Json::Value* visibility = PayloadMember(response, "dashVisibility");
  if (PayloadType(response) != "DASH_VISIBILITY" || visibility == nullptr) return std::nullopt;
  return visibility->isString() ? visibility->asString() : CompactJson(*visibility);
}

std::optional<bool> ReadFocusAware(const Json::Value& response) {
  const Json::Value* value = PayloadMember(response, "value");
  if (PayloadType(response) != "BOOL" || value == nullptr) return std::nullopt;
  if (value->isBool()) return value->asBool();
  return value->isNumeric() && value->asDouble() != 0.0;
}

}  // namespace QasValidator
