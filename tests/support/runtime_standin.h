#pragma once

#include <string>
#include <vector>

namespace testsupport {

/// Stands in for the runtime's setters of settings (lux_SetBool, lux_SetInt, lux_SetFloat) in
/// this process while it lives: each call is recorded as "name=value" ("true"/"false" for
/// booleans) and answered with `taken`.
class RuntimeSettingsStandIn {
 public:
  explicit RuntimeSettingsStandIn(bool taken = true);
  ~RuntimeSettingsStandIn();
  RuntimeSettingsStandIn(const RuntimeSettingsStandIn&) = delete;
  RuntimeSettingsStandIn& operator=(const RuntimeSettingsStandIn&) = delete;

  /// The calls so far, in order.
  std::vector<std::string> Calls() const;
};

}  // namespace testsupport
