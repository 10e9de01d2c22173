#include "support/telemetry_recorder.h"

#include <iostream>
#include <map>
#include <string_view>

#include "runtime/internal_functions.h"

namespace testsupport {

namespace {

std::set<std::string> hidden;

luxResult PrintEvent(const char* category, const luxiMetricField* fields, int32_t count,
                     uint32_t flags) {
  if (std::string_view(category) != "corvia_dev_tools" || flags != 0) {
    std::cout << "[telemetry] unexpected category " << category << " flags " << flags << std::endl;
  }
  std::map<std::string, std::string> sorted;
  for (int32_t i = 0; i < count; ++i) {
    if (!sorted.emplace(fields[i].Key, fields[i].Value).second) {
      std::cout << "[telemetry] unexpected duplicate key " << fields[i].Key << std::endl;
    }
  }
  std::string line = "[telemetry]";
  const char* separator = " ";
  for (const auto& [key, value] : sorted) {
    if (hidden.count(key) != 0) continue;
    line += separator + key + "=" + value;
    separator = "; ";
  }
  std::cout << line << std::endl;
  return 0;
}

}  // namespace

void RecordTelemetry(std::set<std::string> hiddenKeys) {
  hidden = std::move(hiddenKeys);
  luxi_ReportGenericMetrics = &PrintEvent;
}

}  // namespace testsupport
