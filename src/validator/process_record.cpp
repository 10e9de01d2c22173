#include "validator/process_record.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "events/payload_layout.h"
#include "log/validator_log.h"

namespace QasValidator {

namespace {

using LUX::Telemetry::ReadPayload;
using LUX::Telemetry::TelemetryEvent;

namespace layout = LUX::Telemetry::layout;

constexpr double kPoseTolerance = 0.0001;

/// The difference is taken in single precision, the comparison made in double.
bool DiffersBeyondTolerance(float stored, float reported) {
  return static_cast<double>(std::fabs(stored - reported)) > kPoseTolerance;
}

void ApplySessionStatus(ProcessRecord& record, const TelemetryEvent& event) {
  record.statusFlags =
      ReadPayload<std::array<uint8_t, layout::kStatusFlagCount>, layout::kStatusFlags>(event);
}

void ApplyRenderDescription(ProcessRecord& record, const TelemetryEvent& event) {
  const int32_t eye = ReadPayload<int32_t, layout::kEye>(event);
  if (eye != 0 && eye != 1) return;
  ++record.renderDescCalls[eye];
  const auto pose = ReadPayload<std::array<float, 7>, layout::kEyePose>(event);
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
  const float pose = ReadPayload<float, layout::kRenderPose>(event);
  if (record.renderDescChanged && DiffersBeyondTolerance(record.lastRenderPose, pose)) {
    record.renderPoseChanged = true;
  }
  record.lastRenderPose = pose;
}

void ApplyLayers(ProcessRecord& record, const TelemetryEvent& event) {
  if (record.firstLayersSeen) return;
  // The count byte may announce more entries than the payload holds.
  const size_t count =
      std::min<size_t>(ReadPayload<uint8_t, layout::kLayerCount>(event), layout::kMaxLayerEntries);
  for (size_t i = 0; i < count; ++i) {
    const auto kind =
        static_cast<uint8_t>(event.payload[layout::kLayerEntries + i * layout::kLayerEntryBytes]);
    if (kind != layout::kNotHeadTrackedLayer) record.headTrackedLayerSeen = true;
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
