#include <cctype>

#include "platform/process_info.h"
#include "telemetry/usage_telemetry.h"

namespace QasValidator {

std::string WithoutExeSuffix(std::string name) {
  if (name.size() < 5) return name;
  std::string suffix = name.substr(name.size() - 4);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (suffix == ".exe") name.resize(name.size() - 4);
  return name;
}

std::string GetParentProcessName() {
  const std::optional<uint32_t> parent = platform::ParentProcessId();
  if (!parent || *parent == 0xFFFFFFFFu) return {};
  return WithoutExeSuffix(platform::ProcessExecutableBaseName(*parent).value_or("<unknown>"));
}

}  // namespace QasValidator
