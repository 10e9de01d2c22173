#include "checks/sdk_judgements.h"

#include <memory>
#include <string>

#include "checks/engine_version.h"
#include "checks/guidelines.h"
#include "log/validator_log.h"
#include "telemetry/usage_telemetry.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

namespace QasValidator {

namespace {

using QasUtils::EngineVersion;

/// Guideline pages: the SDK version, the Unity version, the plug-in and other engines' versions.
constexpr int32_t kSdkGuideline = 1;
constexpr int32_t kUnityGuideline = 2;
constexpr int32_t kEngineGuideline = 3;

constexpr char kUnity[] = "Unity";
constexpr char kUnrealEngine[] = "UnrealEngine";

/// Whether `version` parses and is at least `minimum`.
bool IsAtLeast(const std::string& version, const EngineVersion& minimum) {
  const std::shared_ptr<EngineVersion> parsed = EngineVersion::Parse(version);
  return parsed && *parsed >= minimum;
}

/// Whether the version of the engine `engine` is supported; engines other than Unity and Unreal
/// Engine always are.
bool IsSupportedEngineVersion(const EngineIdentification& engine) {
  if (engine.engineName == kUnity) return IsAtLeast(engine.engineVersion, {5, 6, 4});
  if (engine.engineName == kUnrealEngine) return IsAtLeast(engine.engineVersion, {4, 12, -1});
  return true;
}

}  // namespace

bool Validator::IsPluginVersionOld(const std::string& engineName, const std::string& engineVersion,
                                   const std::string& /*pluginName*/,
                                   const std::string& pluginVersion) {
  if (engineName != kUnity || engineVersion.find("UE4") == std::string::npos) return false;
  const std::shared_ptr<EngineVersion> plugin = EngineVersion::Parse(pluginVersion);
  return plugin && *plugin < EngineVersion(1, 23, 0);
}

TestResult ReportMissingSdkVersion(int32_t waited) {
  LogInfo("Unable to get client SDK version.");
  return waited == kStatusTransientError ? TestResult::TransientError : TestResult::Skipped;
}

TestResult JudgeSdkVersion(int32_t sdkVersion) {
  if (sdkVersion >= kMinimumSdkVersion) return TestResult::Passed;
  LogError("The application is built against an older SDK version");
  CiteGuideline(kSdkGuideline);
  return TestResult::Failed;
}

TestResult JudgeEngine(const std::optional<EngineIdentification>& engine) {
  if (!engine) return TestResult::Passed;
  UsageTelemetry::Instance().SendUserAction("Validator_action_TestSdkVersion_EngineName",
                                            engine->engineName);
  UsageTelemetry::Instance().SendUserAction("Validator_action_TestSdkVersion_EngineVersion",
                                            engine->engineVersion);
  if (engine->engineName == kUnity && engine->engineVersion == "0.0.0") {
    Log(LogLevel::Info, {"Can't detect Unity version.\n",
                         "Please make sure that app is built using supported Unity engine"});
    CiteGuideline(kUnityGuideline);
    return TestResult::Passed;
  }
  if (Validator::IsPluginVersionOld(engine->engineName, engine->engineVersion,
                                    engine->enginePluginName, engine->enginePluginVersion)) {
    Log(LogLevel::Info, {"Warning: The application is built with an old LUXPlugin version ",
                         engine->enginePluginVersion, "."});
    CiteGuideline(kEngineGuideline);
    return TestResult::Passed;
  }
  if (IsSupportedEngineVersion(*engine)) return TestResult::Passed;
  Log(LogLevel::Info, {"Warning: The application is built against an unsupported ",
                       engine->engineName, " version"});
  CiteGuideline(engine->engineName == kUnity ? kUnityGuideline : kEngineGuideline);
  return TestResult::Passed;
}

}  // namespace QasValidator
