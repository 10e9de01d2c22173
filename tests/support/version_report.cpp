#include "support/version_report.h"

#include <regex>

namespace testsupport {

std::string WithoutProcessIds(const std::string& printed) {
  static const std::regex processId("processId 0x[0-9a-f]+");
  return std::regex_replace(printed, processId, "processId 0x1");
}

std::string SdkVersionLines(const std::string& majorDotMinor) {
  return "SDK version detected " + majorDotMinor + " for processId 0x1\n\n";
}

std::string EngineIdentificationLines(const std::string& name, const std::string& version,
                                      const std::string& pluginName,
                                      const std::string& pluginVersion) {
  return "Engine Identification for processId 0x1\n\tEngineName: " + name +
         "\n\tEnginePluginName: " + pluginName + "\n\tEnginePluginVersion: " + pluginVersion +
         "\n\tEngineVersion: " + version + "\n";
}

}  // namespace testsupport
