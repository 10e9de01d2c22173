#pragma once

#include <cstdint>
#include <optional>

#include "validator/process_record.h"
#include "validator/test_result.h"

// The verdicts of TestSdkVersion on the client SDK version and the engine identification that
// the runtime reported about the application, with their messages and usage-telemetry actions.

namespace QasValidator {

/// How long the application has to report its client SDK version, in ms.
inline constexpr int32_t kSdkVersionWaitMs = 5000;
/// How long the application has to identify its engine, in ms.
inline constexpr int32_t kEngineIdentificationWaitMs = 10000;
/// The oldest client SDK the store accepts, (product x 100 + major) x 100 + minor: 1.1.8.
inline constexpr int32_t kMinimumSdkVersion = 10108;

/// The wait for the client SDK version ended with `waited` (not 0): "Unable to get client SDK
/// version.", and `TransientError` after the transient runtime error, else `Skipped`.
TestResult ReportMissingSdkVersion(int32_t waited);

/// The client SDK version the application was built with: older than the minimum fails.
TestResult JudgeSdkVersion(int32_t sdkVersion);

/// The engine the application was built with, if it said. Sends the engine's name and version
/// as usage-telemetry actions and warns about an undetectable or unsupported Unity or Unreal
/// Engine version and about an old engine plug-in; passes in every case.
TestResult JudgeEngine(const std::optional<EngineIdentification>& engine);

}  // namespace QasValidator
