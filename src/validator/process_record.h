#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>

#include "events/telemetry_event.h"

namespace QasValidator {

/// What the runtime's events told about one client process. The members start at the values
/// of a process about which nothing is known yet.
struct ProcessRecord {
  /// Event time of the session-created event; -1.0 while no session has been seen.
  double sessionCreatedTime = -1.0;
  /// Seconds from session creation to the first submitted frame; -1.0 until that frame.
  double firstFrameDelay = -1.0;
  uint32_t submitFrameCount = 0;
  /// The session-status flags, the first being the visible flag.
  std::array<uint8_t, 6> statusFlags{};
  /// Set by the recenter test, cleared by the recenter-flag-cleared event.
  bool recenterPending = false;
  /// Render-description fetches per eye (left, right).
  std::array<uint32_t, 2> renderDescCalls{};
  /// The last eye offset pose per eye.
  std::array<std::array<float, 7>, 2> eyePoses{};
  /// An eye pose changed.
  bool renderDescChanged = false;
  float lastRenderPose = 0.0f;
  /// The render pose changed after an eye pose had changed.
  bool renderPoseChanged = false;
  /// The first layers-submitted event has been examined.
  bool firstLayersSeen = false;
  /// That first event held a head-tracked layer.
  bool headTrackedLayerSeen = false;
  /// (product x 100 + major) x 100 + minor of the client SDK; -1 while unknown.
  int32_t sdkVersion = -1;
  /// The restricted properties that the process read.
  std::set<std::string> readProperties;
  uint32_t commitsVisible = 0;
  uint32_t commitsNotVisible = 0;
};

using ProcessRecordMap = std::unordered_map<uint32_t, ProcessRecord>;

/// How an application was built, as its engine reported it.
struct EngineIdentification {
  std::string engineName;
  std::string engineVersion;
  std::string enginePluginName;
  std::string enginePluginVersion;
};

/// Applies an event that changes nothing but the record of the process it is about: frame
/// submitted, session status, recenter flag cleared, render description fetched, swap chain
/// committed, render pose submitted and layers submitted. Other kinds change nothing. The
/// caller holds the lock that guards `record`.
void ApplyToProcessRecord(ProcessRecord& record, const LUX::Telemetry::TelemetryEvent& event);

}  // namespace QasValidator
