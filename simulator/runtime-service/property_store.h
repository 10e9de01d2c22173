#pragma once

#include <json/value.h>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "runtime_observer.h"

namespace luxsim {

/// Named, typed values that clients set and read with lux_Set*/lux_Get*. Session 0 holds the
/// runtime's own settings; a session's read falls back to them. A session's values go with it.
class PropertyStore : public RuntimeObserver {
 public:
  /// Stores `value` under `name` when it has the type `type` ("bool", "int", "float",
  /// "float_array" or "string"); false when the type is unknown or the value does not fit it.
  bool Set(SessionId scope, const std::string& name, const std::string& type,
           const Json::Value& value);
  /// The value of `name` stored with `type`; nothing when there is none of that type.
  std::optional<Json::Value> Get(SessionId scope, const std::string& name,
                                 const std::string& type) const;
  void OnSessionDestroyed(const Session& session) override;

  /// Typed reads of the runtime's own settings.
  bool RuntimeBool(const std::string& name, bool fallback) const;
  int RuntimeInt(const std::string& name, int fallback) const;
  float RuntimeFloat(const std::string& name, float fallback) const;

 private:
  struct Stored {
    std::string type;
    Json::Value value;
  };

  std::map<std::pair<SessionId, std::string>, Stored> values_;
};

}  // namespace luxsim
