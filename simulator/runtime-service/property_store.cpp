#include "property_store.h"

#include "protocol/messages.h"

namespace luxsim {

namespace {

bool Fits(const std::string& type, const Json::Value& value) {
  if (type == property_type::kBool) return value.isBool();
  if (type == property_type::kInt) return value.isInt();
  if (type == property_type::kFloat) return value.isNumeric() && !value.isBool();
  if (type == property_type::kString) return value.isString();
  if (type == property_type::kFloatArray) {
    if (!value.isArray()) return false;
    for (const Json::Value& element : value) {
      if (!element.isNumeric() || element.isBool()) return false;
    }
    return true;
  }
  return false;
}

}  // namespace

bool PropertyStore::Set(SessionId scope, const std::string& name, const std::string& type,
                        const Json::Value& value) {
  if (name.empty() || !Fits(type, value)) return false;
  values_[{scope, name}] = {type, value};
  return true;
}

std::optional<Json::Value> PropertyStore::Get(SessionId scope, const std::string& name,
                                              const std::string& type) const {
  for (const SessionId where : {scope, SessionId{0}}) {
    const auto found = values_.find({where, name});
    if (found != values_.end() && found->second.type == type) return found->second.value;
  }
  return std::nullopt;
}

void PropertyStore::OnSessionDestroyed(const Session& session) {
  std::erase_if(values_, [&session](const auto& entry) { return entry.first.first == session.id; });
}

bool PropertyStore::RuntimeBool(const std::string& name, bool fallback) const {
  const std::optional<Json::Value> value = Get(0, name, property_type::kBool);
  return value ? value->asBool() : fallback;
}

int PropertyStore::RuntimeInt(const std::string& name, int fallback) const {
  const std::optional<Json::Value> value = Get(0, name, property_type::kInt);
  return value ? value->asInt() : fallback;
}

float PropertyStore::RuntimeFloat(const std::string& name, float fallback) const {
  const std::optional<Json::Value> value = Get(0, name, property_type::kFloat);
  return value ? value->asFloat() : fallback;
}

}  // namespace luxsim
