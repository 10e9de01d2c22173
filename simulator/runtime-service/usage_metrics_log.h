#pragma once

#include <string>

#include "service_module.h"

namespace luxsim {

/// Records the usage-metrics events that clients report (luxi_ReportGenericMetrics) in a file,
/// one JSON object per line: {"category", "client_pid", "client_sdk" (the SDK version the
/// client library reported, when it did), "fields": {key: value}}.
class UsageMetricsLog final : public ServiceModule {
 public:
  /// Writes to `path`, creating it and its folders when needed.
  explicit UsageMetricsLog(std::string path) : path_(std::move(path)) {}

  bool Start(ServiceContext& context, std::string* error) override;

 private:
  bool Append(const std::string& line);

  std::string path_;
};

}  // namespace luxsim
