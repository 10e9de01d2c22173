#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace luxsim {

/// The engine an application was built with, as it named it.
struct EngineIdentity {
  std::string engineName;
  std::string engineVersion;
  std::string pluginName;
  std::string pluginVersion;

  bool operator==(const EngineIdentity&) const = default;
};

/// The engine named in the text an application hands to lux_IdentifyClient: one "key value"
/// per line, the key ended by a colon or a blank ("EngineName: Unity\nEngineVersion:
/// 2019.4.31f1\nEnginePluginName: LUXPlugin\nEnginePluginVersion: 1.43.0"). The keys
/// "EngineName", "EngineVersion", "EnginePluginName" and "EnginePluginVersion" are read, a later
/// line replacing an earlier one; other lines are about other things and skipped. Nothing when
/// no engine key is present.
std::optional<EngineIdentity> ParseEngineIdentity(std::string_view identity);

}  // namespace luxsim
