#include "telemetry/usage_telemetry.h"

#include <unordered_map>

#include "runtime/internal_functions.h"
#include "telemetry/guid_text.h"

namespace QasValidator {

// Holds the sender without ever running its destructor.
union NeverDestroyed {
  NeverDestroyed() : telemetry() {}
  ~NeverDestroyed() {}
  UsageTelemetry telemetry;
};

UsageTelemetry& UsageTelemetry::Instance() {
  static NeverDestroyed holder;
  return holder.telemetry;
}

void UsageTelemetry::SendLaunch(const std::string& name, const std::string& version,
                                const std::string& parentName, const std::string& parentVersion) {
  {
    std::lock_guard lock(mutex_);
    applicationName_ = name;
    applicationVersion_ = version;
    applicationSession_ = NewGuidText();
    if (!parentName.empty()) commonFields_.emplace_back("parent_application", parentName);
    if (!parentVersion.empty()) {
      commonFields_.emplace_back("parent_application_version", parentVersion);
    }
  }
  Send({{"application_status", "launch"}});
}

void UsageTelemetry::SetCommonField(const std::string& key, const std::string& value) {
  std::lock_guard lock(mutex_);
  commonFields_.emplace_back(key, value);
}

void UsageTelemetry::SendUserAction(const std::string& action) { Send({{"user_action", action}}); }

void UsageTelemetry::SendUserAction(const std::string& action, const std::string& parameter) {
  Send({{"user_action", action}, {"user_action_param", parameter}});
}

void UsageTelemetry::SendClose(const std::string& duration) {
  Send({{"application_status", "close"}, {"run_duration", duration}});
}

void UsageTelemetry::Send(const Fields& ownFields) {
  std::unordered_map<std::string, std::string> event;
  {
    std::lock_guard lock(mutex_);
    event.reserve(3 + commonFields_.size() + ownFields.size());
    event["application_name"] = applicationName_;
    event["application_version"] = applicationVersion_;
    event["application_session"] = applicationSession_;
    for (const auto& [key, value] : commonFields_) event[key] = value;
  }
  for (const auto& [key, value] : ownFields) event[key] = value;

  std::vector<luxiMetricField> fields;
  fields.reserve(event.size());
  for (const auto& [key, value] : event) fields.push_back({key.c_str(), value.c_str()});
  luxi_ReportGenericMetrics(kTelemetryCategory, fields.data(), static_cast<int32_t>(fields.size()),
                            0);
}

}  // namespace QasValidator
