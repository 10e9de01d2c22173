#include "event_records.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace luxsim::records {

namespace {

using LUX::Telemetry::kPayloadBytes;
using LUX::Telemetry::WritePayload;

constexpr size_t kStatusOffset = 4;
constexpr size_t kPropertyNameOffset = 4;
constexpr size_t kErrorTextOffset = 17;
constexpr size_t kErrorTruncatedOffset = 81;
constexpr size_t kEngineSlotOffsets[] = {4, 24, 44, 64};

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
      return kNotHeadTrackedLayer;
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
  const std::array<uint8_t, 6> flags = {status.visible,    status.hmdPresent,
                                        status.hmdMounted, status.displayLost,
                                        status.shouldQuit, status.shouldRecenter};
  std::memcpy(event.payload + kStatusOffset, flags.data(), flags.size());
  return event;
}

TelemetryEvent LayersEvent(uint32_t pid, const std::vector<SubmittedLayer>& layers, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kLayersSubmitted, pid, time);
  uint8_t count = 0;
  for (const SubmittedLayer& layer : layers) {
    const std::optional<uint8_t> kind = LayerKind(layer.type);
    if (!kind) continue;
    event.payload[kLayerEntriesOffset + kLayerEntryBytes * count] = std::byte{*kind};
    if (++count == kMaxLayerEntries) break;
  }
  WritePayload<uint8_t, kLayerCountOffset>(event, count);
  return event;
}

TelemetryEvent RenderPoseEvent(uint32_t pid, float value, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kRenderPoseSubmitted, pid, time);
  WritePayload<float, 8>(event, value);
  return event;
}

TelemetryEvent RenderDescEvent(uint32_t pid, luxEyeType eye, const luxPosef& pose, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kRenderDescriptionFetched, pid, time);
  WritePayload<int32_t, 4>(event, static_cast<int32_t>(eye));
  const std::array<float, 7> values = {pose.Orientation.x, pose.Orientation.y, pose.Orientation.z,
                                       pose.Orientation.w, pose.Position.x,    pose.Position.y,
                                       pose.Position.z};
  WritePayload<std::array<float, 7>, 8>(event, values);
  return event;
}

TelemetryEvent PropertyReadEvent(uint32_t pid, std::string_view name, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kPropertyRead, pid, time);
  // One byte stays for the NUL.
  CopyText(event, kPropertyNameOffset, name, kPayloadBytes - kPropertyNameOffset - 1);
  return event;
}

TelemetryEvent ClientConnectInfoEvent(uint32_t pid, uint32_t requestedMinorVersion,
                                      const ClientBuild& build, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kClientConnectInfo, pid, time);
  WritePayload<uint32_t, 4>(event, build.buildTool);
  WritePayload<uint32_t, 8>(event, requestedMinorVersion);
  WritePayload<uint32_t, 12>(event, build.product);
  WritePayload<uint32_t, 16>(event, build.major);
  WritePayload<uint32_t, 20>(event, build.minor);
  WritePayload<uint32_t, 24>(event, build.patch);
  WritePayload<uint32_t, 28>(event, build.buildNumber);
  return event;
}

TelemetryEvent EngineIdentificationEvent(uint32_t pid, const EngineIdentity& engine, double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kEngineIdentification, pid, time);
  const std::string* texts[] = {&engine.engineName, &engine.engineVersion, &engine.pluginName,
                                &engine.pluginVersion};
  for (size_t i = 0; i < std::size(texts); ++i) {
    CopyText(event, kEngineSlotOffsets[i], *texts[i], kEngineSlotBytes - 1);
  }
  return event;
}

TelemetryEvent RuntimeErrorEvent(uint32_t pid, int32_t code, std::string_view text, bool notCounted,
                                 double time) {
  TelemetryEvent event = ProcessEvent(LUX::Telemetry::kError, pid, time);
  WritePayload<int32_t, 8>(event, code);
  WritePayload<uint8_t, 16>(event, notCounted ? 1 : 0);
  const bool truncated = CopyText(event, kErrorTextOffset, text, kErrorTextBytes);
  WritePayload<uint8_t, kErrorTruncatedOffset>(event, truncated ? 1 : 0);
  return event;
}

TelemetryEvent CableStateEvent(bool connected, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kCableState, time);
  WritePayload<uint32_t, 0>(event, connected ? kCableAttachedAndReady : kCableUnplugged);
  return event;
}

TelemetryEvent EndCompositorFrameEvent(uint64_t frame, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kEndCompositorFrame, time);
  WritePayload<uint64_t, 0>(event, frame);
  return event;
}

TelemetryEvent LostFrameEvent(uint32_t pid, uint64_t frame, double time) {
  TelemetryEvent event = Stamped(LUX::Telemetry::kLostFrame, time);
  WritePayload<uint8_t, 0>(event, 0);
  WritePayload<uint32_t, 4>(event, pid);
  WritePayload<uint64_t, 8>(event, frame);
  return event;
}

}  // namespace luxsim::records
