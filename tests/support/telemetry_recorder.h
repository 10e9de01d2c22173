#pragma once

#include <set>
#include <string>

namespace testsupport {

/// The fields every usage event carries.
inline const std::set<std::string> kStandardTelemetryFields = {
    "application_name", "application_version", "application_session", "parent_application"};

/// Binds a recorder to the runtime's usage-metrics function (the pointer variable
/// luxi_ReportGenericMetrics), so that every event sent from then on is printed on standard
/// output as one line: "[telemetry] " and the event's fields sorted by key, as "key=value"
/// separated by "; ", leaving out the keys in `hiddenKeys`. Events with another category or
/// non-zero flags are printed as "[telemetry] unexpected ...".
void RecordTelemetry(std::set<std::string> hiddenKeys = {});

}  // namespace testsupport
