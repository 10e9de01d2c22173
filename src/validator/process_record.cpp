#include "validator/process_record.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "log/validator_log.h"

namespace QasValidator {

namespace {

using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::TelemetryEvent;

constexpr double kPoseTolerance = 0.0001;
/// Layer kind of a layer that does not follow the head.
constexpr uint8_t kNotHeadTrackedLayer = 4;
constexpr size_t kLayerEntriesOffset = 9;
constexpr size_t kLayerEntryBytes = 20;
/// Layer entries whose kind byte lies within the payload; the count byte may announce more.
constexpr size_t kMaxLayerEntries =
    (LUX::Telemetry::kPayloadBytes - kLayerEntriesOffset - 1) / kLayerEntryBytes + 1;

/// The difference is taken in single precision, the comparison made in double.
bool DiffersBeyondTolerance(float stored, float reported) {
  return static_cast<double>(std::fabs(stored - reported)) > kPoseTolerance;
}

void ApplySessionStatus(ProcessRecord& record, const TelemetryEvent& event) {
  record.statusFlags = ReadPayload<std::array<uint8_t, 6>, 4>(event);
}

void ApplyRenderDescription(ProcessRecord& record, const TelemetryEvent& event) {
  const int32_t eye = ReadPayload<int32_t, 4>(event);
  if (eye != 0 && eye != 1) return;
  ++record.renderDescCalls[eye];
  const auto pose = ReadPayload<std::array<float, 7>, 8>(event);
  std::array<float, 7>& stored = record.eyePoses[eye];
  for (size_t i = 0; i < pose.size(); ++i) {
    if (DiffersBeyondTolerance(stored[i], pose[i])) {
      record.renderDescChanged = true;
      stored = pose;
      return;
    }
  }
}

void ApplyRenderPose(ProcessRecord& record, const TelemetryEvent& event) {
  const float pose = ReadPayload<float, 8>(event);
  if (record.renderDescChanged && DiffersBeyondTolerance(record.lastRenderPose, pose)) {
    record.renderPoseChanged = true;
  }
  record.lastRenderPose = pose;
}

void ApplyLayers(ProcessRecord& record, const TelemetryEvent& event) {
  if (record.firstLayersSeen) return;
  const size_t count = std::min<size_t>(ReadPayload<uint8_t, 5>(event), kMaxLayerEntries);
  for (size_t i = 0; i < count; ++i) {
    const auto kind =
        static_cast<uint8_t>(event.payload[kLayerEntriesOffset + i * kLayerEntryBytes]);
    if (kind != kNotHeadTrackedLayer) record.headTrackedLayerSeen = true;
  }
  record.firstLayersSeen = true;
}

}  // namespace

void ApplyToProcessRecord(ProcessRecord& record, const TelemetryEvent& event) {
  switch (event.type) {
    case LUX::Telemetry::kFrameSubmitted:
      ++record.submitFrameCount;
      if (record.firstFrameDelay == -1.0) {
        record.firstFrameDelay = event.timestamp - record.sessionCreatedTime;
      }
      break;
    case LUX::Telemetry::kSessionStatus:
      ApplySessionStatus(record, event);
      break;
    case LUX::Telemetry::kRecenterFlagCleared:
      record.recenterPending = false;
      LogVerbose("Got ClearShouldRecenterFlag request");
      break;
    case LUX::Telemetry::kRenderDescriptionFetched:
      ApplyRenderDescription(record, event);
      break;
    case LUX::Telemetry::kSwapChainCommitted:
      ++(record.statusFlags[0] != 0 ? record.commitsVisible : record.commitsNotVisible);
      break;
    case LUX::Telemetry::kRenderPoseSubmitted:
      ApplyRenderPose(record, event);
      break;
    case LUX::Telemetry::kLayersSubmitted:
      ApplyLayers(record, event);
      break;
    default:
      break;
  }
}

}  // namespace QasValidator
