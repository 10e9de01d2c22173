#pragma once

namespace QasValidator {

/// Version of the validator: parser version text, messages, summary and telemetry.
inline constexpr char ValidatorVersion[] = "1.43.0.0";
/// Application name reported with every usage-telemetry event.
inline constexpr char ApplicationName[] = "Corvia QAS Validator CLI";
/// Corvia's page for reporting a bug of the validator or the runtime.
inline constexpr char BugReportUrl[] = "https://developer.corvia.com/bugs/";

}  // namespace QasValidator
