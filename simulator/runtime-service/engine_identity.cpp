#include "engine_identity.h"

#include <algorithm>

namespace luxsim {

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::optional<EngineIdentity> ParseEngineIdentity(std::string_view identity) {
  EngineIdentity engine;
  bool named = false;
  while (!identity.empty()) {
    const size_t end = identity.find('\n');
    const std::string_view line = Trimmed(identity.substr(0, end));
    identity = end == std::string_view::npos ? std::string_view() : identity.substr(end + 1);
    const size_t keyEnd = std::min(line.find_first_of(": \t"), line.size());
    const std::string_view key = line.substr(0, keyEnd);
    std::string_view value = Trimmed(line.substr(keyEnd));
    if (value.starts_with(':')) value = Trimmed(value.substr(1));
    std::string* field = key == "EngineName"            ? &engine.engineName
                         : key == "EngineVersion"       ? &engine.engineVersion
                         : key == "EnginePluginName"    ? &engine.pluginName
                         : key == "EnginePluginVersion" ? &engine.pluginVersion
                                                        : nullptr;
    if (field == nullptr) continue;
    *field = value;
    named = true;
  }
  if (!named) return std::nullopt;
  return engine;
}

}  // namespace luxsim
