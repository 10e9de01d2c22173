#pragma once

#include <json/json.h>

#include <optional>
#include <string>
#include <string_view>

namespace QasValidator {

// The JSON of the shell service: the request envelope the client sends, and the fields it
// reads from the service's messages. Reading never throws: a member that is missing or of
// another type counts as absent.

/// The request envelope, written compactly without a trailing line feed:
/// {"requestData":<data>,"requestName":<path>,"sequenceId":"<id>"}.
std::string BuildRequestEnvelope(std::string_view path, const Json::Value& data, uint32_t id);

/// Parses a message of the service; nothing when it is not JSON.
std::optional<Json::Value> ParseHubMessage(std::string_view text);

/// The string member `key` of an object; nothing when absent or not a string.
std::optional<std::string> StringMember(const Json::Value& value, const char* key);
/// Member `key` of the object `payload` of a message; null when absent.
const Json::Value* PayloadMember(const Json::Value& message, const char* key);
/// The message's "payloadType" ("" when it has none, e.g. for a null response).
std::string PayloadType(const Json::Value& message);
/// True for a message with "messageType" "RESPONSE".
bool IsResponse(const Json::Value& message);
/// True when the message carries the "sequenceId" `id`.
bool HasSequenceId(const Json::Value& message, const std::string& id);
/// The OK answer: "payloadType" "PLAIN_STRING" with payload "value" "OK" or "Ok".
bool IsOkAnswer(const Json::Value& response);

// The results of the requests that answer with more than OK; nothing where the response is of
// another "payloadType" or lacks its member.

/// "location" of a "LIFE_CYCLE_LOCATION_UPDATE" (a string).
std::optional<std::string> ReadLocation(const Json::Value& response);
/// "needed" of a "HSW_NEEDED_UPDATE" (a bool); false when there is none.
bool ReadHswNeeded(const Json::Value& response);
/// "pid" of a "PLAIN_PID" (an unsigned 32-bit integer).
std::optional<uint32_t> ReadProcessId(const Json::Value& response);
/// "dashVisibility" of a "DASH_VISIBILITY", of any type: a string as it is, any other value as
/// compact JSON.
std::optional<std::string> ReadDashVisibility(const Json::Value& response);
/// "value" of a "BOOL", of any type: true for `true` and for numbers other than 0, false for
/// every other value.
std::optional<bool> ReadFocusAware(const Json::Value& response);

}  // namespace QasValidator
