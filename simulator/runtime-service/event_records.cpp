#include "event_records.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "events/payload_layout.h"

namespace luxsim::records {

namespace {

using LUX::Telemetry::kPayloadBytes;
using LUX::Telemetry::WritePayload;
namespace layout = LUX::Telemetry::layout;

TelemetryEvent Stamped(int32_t type, double time) {
  TelemetryEvent event;
  event.type = type;
  event.timestamp = time;
  return event;
}

// Copies at most `maxBytes` of `text` to payload offset `offset`; returns whether it was cut.
// The rest of the payload is zero, so a shorter text ends with a NUL.
bool CopyText(TelemetryEvent& event, size_t offset, std::string_view text, size_t maxBytes) {
  const size_t length = std::min({text.size(), maxBytes, kPayloadBytes - offset});
  std::memcpy(event.payload + offset, text.data(), length);
  return length < text.size();
}

}  // namespace

std::optional<uint8_t> LayerKind(int sdkType) {
  switch (sdkType) {
    case luxLayerType_EyeFov:
    case luxLayerType_EyeFovDepth:
    case luxLayerType_Quad:
      return static_cast<uint8_t>(sdkType);
    case luxLayerType_HeadLockedQuad:
      return layout::kNotHeadTrackedLayer;
    default:
      return std::nullopt;
  }
}

TelemetryEvent ProcessEvent(int32_t type, uint32_t pid, double time) {
  TelemetryEvent event = Stamped(type, time);
  WritePayload<uint32_t, 0>(event, pid);
  return event;
}

TelemetryEvent SessionStatusEvent(uint32_t pid, const SessionStatus& status, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kSessionStatus, pid, time);
  using Flags = std::array<uint8_t, layout::kStatusFlagCount>;
  const Flags flags = {status.visible,     status.hmdPresent, status.hmdMounted,
                       status.displayLost, status.shouldQuit, status.shouldRecenter};
  WritePayload<Flags, layout::kStatusFlags>(event, flags);
  return event;
}

TelemetryEvent LayersEvent(uint32_t pid, const std::vector<SubmittedLayer>& layers, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kLayersSubmitted, pid, time);
  uint8_t count = 0;
  for (const SubmittedLayer& layer : layers) {
    const std::optional<uint8_t> kind = LayerKind(layer.type);
    if (!kind) continue;
    event.payload[layout::kLayerEntries + layout::kLayerEntryBytes * count] = std::byte{*kind};
    if (++count == layout::kMaxLayerEntries) break;
  }
  WritePayload<uint8_t, layout::kLayerCount>(event, count);
  return event;
}

TelemetryEvent RenderPoseEvent(uint32_t pid, float value, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kRenderPoseSubmitted, pid, time);
  WritePayload<float, layout::kRenderPose>(event, value);
  return event;
}

TelemetryEvent RenderDescEvent(uint32_t pid, luxEyeType eye, const luxPosef& pose, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kRenderDescriptionFetched, pid, time);
  WritePayload<int32_t, layout::kEye>(event, static_cast<int32_t>(eye));
  const std::array<float, 7> values = {pose.Orientation.x, pose.Orientation.y, pose.Orientation.z,
                                       pose.Orientation.w, pose.Position.x,    pose.Position.y,
                                       pose.Position.z};
  WritePayload<std::array<float, 7>, layout::kEyePose>(event, values);
  return event;
}

TelemetryEvent PropertyReadEvent(uint32_t pid, std::string_view name, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kPropertyRead, pid, time);
  // One byte stays for the NUL.
  CopyText(event, layout::kPropertyName, name, kPayloadBytes - layout::kPropertyName - 1);
  return event;
}

TelemetryEvent ClientConnectInfoEvent(uint32_t pid, uint32_t requestedMinorVersion,
                                      const ClientBuild& build, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kClientConnectInfo, pid, time);
  WritePayload<uint32_t, 4>(event, build.buildTool);
  WritePayload<uint32_t, 8>(event, requestedMinorVersion);
  WritePayload<uint32_t, layout::kSdkProduct>(event, build.product);
  WritePayload<uint32_t, layout::kSdkMajor>(event, build.major);
  WritePayload<uint32_t, layout::kSdkMinor>(event, build.minor);
  WritePayload<uint32_t, 24>(event, build.patch);
  WritePayload<uint32_t, 28>(event, build.buildNumber);
  return event;
}

TelemetryEvent EngineIdentificationEvent(uint32_t pid, const EngineIdentity& engine, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kEngineIdentification, pid, time);
  // One byte of each slot stays for the NUL.
  constexpr size_t kTextBytes = layout::kEngineSlotBytes - 1;
  CopyText(event, layout::kEngineName, engine.engineName, kTextBytes);
  CopyText(event, layout::kEngineVersion, engine.engineVersion, kTextBytes);
  CopyText(event, layout::kEnginePluginName, engine.pluginName, kTextBytes);
  CopyText(event, layout::kEnginePluginVersion, engine.pluginVersion, kTextBytes);
  return event;
}

TelemetryEvent RuntimeErrorEvent(uint32_t pid, int32_t code, std::string_view text, bool notCounted,
                                 double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kError, pid, time);
  WritePayload<int32_t, layout::kErrorCode>(event, code);
  WritePayload<uint8_t, layout::kErrorNotCounted>(event, notCounted ? 1 : 0);
  const bool truncated = CopyText(event, layout::kErrorText, text, layout::kErrorTextBytes);
  WritePayload<uint8_t, layout::kErrorTextTruncated>(event, truncated ? 1 : 0);
  return event;
}

TelemetryEvent CableStateEvent(bool connected, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kCableState, time);
  WritePayload<uint32_t, layout::kCableState>(
      event, connected ? layout::kCableAttachedAndReady : layout::kCableUnplugged);
  return event;
}

TelemetryEvent EndCompositorFrameEvent(uint64_t frame, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kEndCompositorFrame, time);
  WritePayload<uint64_t, 0>(event, frame);
  return event;
}

TelemetryEvent LostFrameEvent(uint32_t pid, uint64_t frame, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kLostFrame, time);
  WritePayload<uint8_t, layout::kLossKind>(event, layout::kApplicationFrameLost);
  WritePayload<uint32_t, 4>(event, pid);
  WritePayload<uint64_t, 8>(event, frame);
  return event;
}

}  // namespace luxsim::records
