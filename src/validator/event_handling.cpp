#include <cstdio>
#include <string>
#include <string_view>

#include "events/payload_layout.h"
#include "log/validator_log.h"
#include "platform/process_info.h"
#include "validator/validator.h"

// What the validator learns from the runtime's realtime events. Everything here except the
// read-outs for the tests runs on the event pump thread.

namespace QasValidator {

namespace {

using LUX::Telemetry::EventProcessId;
using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::ReadPayloadText;
using LUX::Telemetry::TelemetryEvent;
namespace layout = LUX::Telemetry::layout;

constexpr int32_t kTransientRuntimeError = -90011;
constexpr int32_t kDisplayLostError = -6000;

/// Properties that an application needs the user's consent to read.
constexpr std::string_view kRestrictedProperties[] = {
    "User", "Name", "Gender", "PlayerHeight", "EyeHeight", "NeckEyeDistance", "EyeToNoseDist"};

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

bool IsRestrictedProperty(std::string_view name) {
  for (std::string_view restricted : kRestrictedProperties) {
    if (name == restricted) return true;
  }
  return false;
}

}  // namespace

int32_t Validator::ConnectEventListener(uint16_t port) {
  std::lock_guard lock(pumpThreadLock);
  listener = std::make_unique<LUX::Telemetry::TClientSocket>();
  if (!listener->Connect(port, true)) {
    LogError("Failed to connect to remote listener");
    return -3000;
  }
  return 0;
}

void Validator::PumpEventRound(LUX::Telemetry::TClientSocket& events) {
  events.WaitForEvents(kPumpWaitMs);
  bool delivered = false;
  events.ProcessEvents(
      [this, &delivered](TelemetryEvent** batch, int32_t count) {
        OnTelemetryEvents(batch, count);
        delivered = delivered || count > 0;
      },
      0);
  if (delivered) OnBatchDelivered();
}

void Validator::OnTelemetryEvents(TelemetryEvent** events, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    FeedFrameStatistics(*events[i]);
    DispatchEvent(*events[i]);
  }
}

ProcessRecord& Validator::FindOrCreateProcessRecord(uint32_t processId) {
  return processRecords[processId];
}

double Validator::CurrentFrameRate() {
  std::lock_guard lock(frameStatisticsLock);
  return frameStatistics.CurrentFrameRate();
}

double Validator::AverageFrameRate() {
  std::lock_guard lock(frameStatisticsLock);
  return frameStatistics.fpsStatistic.mean;
}

void Validator::ResetFrameStatistics() {
  std::lock_guard lock(frameStatisticsLock);
  frameStatistics.Reset();
}

void Validator::ResetEventState() {
  std::lock_guard lock(eventLock);
  displayLost = false;
  transientError = false;
  sessionPid = 0;
  printVersionEvents = false;
  reportRuntimeErrors = false;
  runtimeErrorCount = 0;
  processRecords = ProcessRecordMap(8);  // emptied, with room for 8 processes
}

void Validator::FeedFrameStatistics(const TelemetryEvent& event) {
  if (event.type == LUX::Telemetry::kLostFrame &&
      ReadPayload<uint8_t, layout::kLossKind>(event) == layout::kApplicationFrameLost) {
    std::lock_guard lock(frameStatisticsLock);
    frameStatistics.OnLostFrame();
  } else if (event.type == LUX::Telemetry::kEndCompositorFrame) {
    std::lock_guard lock(frameStatisticsLock);
    frameStatistics.OnCompositorFrame();
  }
}

void Validator::DispatchEvent(const TelemetryEvent& event) {
  switch (event.type) {
    case LUX::Telemetry::kError:
      OnRuntimeError(event);
      break;
    case LUX::Telemetry::kClientConnectInfo:
      OnClientConnectInfo(event);
      break;
    case LUX::Telemetry::kEngineIdentification:
      OnEngineIdentification(event);
      break;
    case LUX::Telemetry::kSessionCreated:
      OnSessionCreated(event);
      break;
    case LUX::Telemetry::kSessionDestroyed:
      OnSessionDestroyed(event);
      break;
    case LUX::Telemetry::kCableState:
      OnCableState(event);
      break;
    case LUX::Telemetry::kPropertyRead:
      OnPropertyRead(event);
      break;
    case LUX::Telemetry::kFrameSubmitted:
    case LUX::Telemetry::kSessionStatus:
    case LUX::Telemetry::kRecenterFlagCleared:
    case LUX::Telemetry::kRenderDescriptionFetched:
    case LUX::Telemetry::kSwapChainCommitted:
    case LUX::Telemetry::kRenderPoseSubmitted:
    case LUX::Telemetry::kLayersSubmitted: {
      std::lock_guard lock(eventLock);
      ApplyToProcessRecord(FindOrCreateProcessRecord(EventProcessId(event)), event);
      break;
    }
    default:
      break;
  }
}

void Validator::OnRuntimeError(const TelemetryEvent& event) {
  const int32_t code = ReadPayload<int32_t, layout::kErrorCode>(event);
  // The status poll of every wait reports it, so it wakes even a wait that asks nothing.
  if (code == kTransientRuntimeError && !transientError.exchange(true)) WakeWaiters();
  if (code == kDisplayLostError) {
    LogVerbose("Display Lost");
    ++displayLostCount;
    displayLost = true;
  }
  if (ReadPayload<uint8_t, layout::kErrorNotCounted>(event) != 0) return;
  ++runtimeErrorCount;
  if (!reportRuntimeErrors) return;
  const bool truncated = ReadPayload<uint8_t, layout::kErrorTextTruncated>(event) != 0;
  Log(LogLevel::Info, {"Telemetry Error Code ", std::to_string(code), "\n",
                       ReadPayloadText(event, layout::kErrorText, layout::kErrorTextBytes),
                       truncated ? "..." : ""});
}

bool Validator::IsApplicationProcessLocked(uint32_t processId, uint32_t parentId) const {
  const uint32_t launched = launchedProcessId;
  return processId == sessionPid || processId == launched || parentId == launched;
}

void Validator::OnClientConnectInfo(const TelemetryEvent& event) {
  const uint32_t processId = EventProcessId(event);
  const uint32_t parentId = platform::ParentProcessId(processId);
  const uint32_t product = ReadPayload<uint32_t, layout::kSdkProduct>(event);
  const uint32_t major = ReadPayload<uint32_t, layout::kSdkMajor>(event);
  const uint32_t minor = ReadPayload<uint32_t, layout::kSdkMinor>(event);
  {
    std::lock_guard lock(eventLock);
    if (!IsApplicationProcessLocked(processId, parentId)) return;
    // Computed without sign so that absurd numbers wrap instead of overflowing.
    FindOrCreateProcessRecord(processId).sdkVersion =
        static_cast<int32_t>((product * 100u + major) * 100u + minor);
  }
  if (printVersionEvents) {
    Log(LogLevel::Info, {"SDK version detected ", std::to_string(major), ".", std::to_string(minor),
                         " for processId 0x", Hex(processId), "\n"});
  }
}

void Validator::OnEngineIdentification(const TelemetryEvent& event) {
  const uint32_t processId = EventProcessId(event);
  const uint32_t parentId = platform::ParentProcessId(processId);
  EngineIdentification identification{
      ReadPayloadText(event, layout::kEngineName, layout::kEngineSlotBytes),
      ReadPayloadText(event, layout::kEngineVersion, layout::kEngineSlotBytes),
      ReadPayloadText(event, layout::kEnginePluginName, layout::kEngineSlotBytes),
      ReadPayloadText(event, layout::kEnginePluginVersion, layout::kEngineSlotBytes)};
  {
    std::lock_guard lock(eventLock);
    if (!IsApplicationProcessLocked(processId, parentId)) return;
    engineIdentifications[processId] = identification;
  }
  if (printVersionEvents) {
    Log(LogLevel::Info, {"Engine Identification for processId 0x", Hex(processId), "\n",
                         "\tEngineName: ", identification.engineName, "\n",
                         "\tEnginePluginName: ", identification.enginePluginName, "\n",
                         "\tEnginePluginVersion: ", identification.enginePluginVersion, "\n",
                         "\tEngineVersion: ", identification.engineVersion});
  }
}

void Validator::OnSessionCreated(const TelemetryEvent& event) {
  // Once the application's session is known, other sessions are of no interest.
  if (sessionPid != 0) return;
  LogVerbose("Session Created");
  std::lock_guard lock(eventLock);
  ProcessRecord& record = FindOrCreateProcessRecord(EventProcessId(event));
  if (record.sessionCreatedTime == -1.0) record.sessionCreatedTime = event.timestamp;
}

void Validator::OnSessionDestroyed(const TelemetryEvent& event) {
  const uint32_t processId = EventProcessId(event);
  {
    std::lock_guard lock(eventLock);
    processRecords.erase(processId);
    if (processId == sessionPid) sessionPid = 0;
  }
  Log(LogLevel::Verbose, {"Session Destroyed for processId 0x", Hex(processId), "\n"});
}

void Validator::OnCableState(const TelemetryEvent& event) {
  const uint32_t state = ReadPayload<uint32_t, layout::kCableState>(event);
  if (state == layout::kCableAttachedAndReady) {
    LogInfo("HDMI cable attached and ready to use.");
    displayLost = false;
  } else if (state == layout::kCableUnplugged) {
    LogInfo("HDMI cable unplugged recorded.");
    displayLost = true;
  }
}

void Validator::OnPropertyRead(const TelemetryEvent& event) {
  const std::string name =
      ReadPayloadText(event, layout::kPropertyName, LUX::Telemetry::kPayloadBytes);
  if (!IsRestrictedProperty(name)) return;
  std::lock_guard lock(eventLock);
  FindOrCreateProcessRecord(EventProcessId(event)).readProperties.insert(name);
}

}  // namespace QasValidator
