#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace QasValidator {

/// Category under which the runtime records the validator's usage events.
inline constexpr char kTelemetryCategory[] = "corvia_dev_tools";

/// Reports how the validator is used: a launch event, user actions and a close event, each a
/// flat set of string fields handed to the runtime (fire and forget). Events sent before the
/// runtime's internal functions are bound are lost.
class UsageTelemetry {
 public:
  /// The one sender, created on first use and never destroyed, so that the close event can
  /// still be sent while the process ends.
  static UsageTelemetry& Instance();

  UsageTelemetry(const UsageTelemetry&) = delete;
  UsageTelemetry& operator=(const UsageTelemetry&) = delete;

  /// Stores the application's name and version, makes a new session GUID, adds the parent's
  /// name and version as common fields when they are not empty, and sends the launch event.
  void SendLaunch(const std::string& name, const std::string& version,
                  const std::string& parentName, const std::string& parentVersion);
  /// Adds a field that every later event carries.
  void SetCommonField(const std::string& key, const std::string& value);
  void SendUserAction(const std::string& action);
  void SendUserAction(const std::string& action, const std::string& parameter);
  /// Sends the close event; `duration` is the run time in milliseconds, already formatted.
  void SendClose(const std::string& duration);

 private:
  using Fields = std::vector<std::pair<std::string, std::string>>;

  UsageTelemetry() = default;
  ~UsageTelemetry() = default;
  friend union NeverDestroyed;

  void Send(const Fields& ownFields);

  std::mutex mutex_;  // guards every field below
  std::string applicationName_;
  std::string applicationVersion_;
  std::string applicationSession_;
  Fields commonFields_;
};

/// Name of the process that started the validator, as the launch event reports it: the base
/// name of its executable without a trailing ".exe", "<unknown>" when the process cannot be
/// inspected, empty when the parent is not known.
std::string GetParentProcessName();

/// `name` without a final ".exe" (any letter case), unless that would leave it empty.
std::string WithoutExeSuffix(std::string name);

}  // namespace QasValidator
