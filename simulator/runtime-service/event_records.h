#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine_identity.h"
#include "events/telemetry_event.h"
#include "runtime_observer.h"

// The realtime event records that the runtime streams, one maker per kind. Every maker returns
// the record stamped `time` (seconds on the machine's monotonic clock). Records about a client
// process carry its id at payload offset 0. The offsets that the validator reads are those of
// events/payload_layout.h; payload bytes that a kind does not name are zero.

namespace luxsim::records {

using LUX::Telemetry::TelemetryEvent;

/// The kind that a layer of the SDK's type `sdkType` has in a layers record; nothing for a
/// layer that shows nothing (disabled) or has a type the runtime does not know. The kinds are
/// the SDK's layer types, whose head-locked quad is the one kind that is not head-tracked.
std::optional<uint8_t> LayerKind(int sdkType);

/// A record of `type` about `pid` that carries nothing else: session created and destroyed,
/// frame submitted, recenter flag cleared, swap chain committed.
TelemetryEvent ProcessEvent(int32_t type, uint32_t pid, double time);

/// Session status (38): the six flags as bytes at 4 to 9, visible first.
TelemetryEvent SessionStatusEvent(uint32_t pid, const SessionStatus& status, double time);

/// Layers submitted (43): the count (u8) at 5, then 20-byte entries from 9 holding the kinds of
/// the frame's shown layers (see `LayerKind`) in their first byte, the rest reserved. The kind
/// of a fifth entry still lies inside the payload, so a record describes up to five layers.
TelemetryEvent LayersEvent(uint32_t pid, const std::vector<SubmittedLayer>& layers, double time);

/// Render pose submitted (42): the pose value (f32) at 8.
TelemetryEvent RenderPoseEvent(uint32_t pid, float value, double time);

/// Render description fetched (40): the eye (i32) at 4, the eye's offset pose at 8 as seven
/// f32, the orientation's x, y, z and w, then the position's x, y and z.
TelemetryEvent RenderDescEvent(uint32_t pid, luxEyeType eye, const luxPosef& pose, double time);

/// Property read (44): the name at 4, NUL-terminated, cut to 91 bytes.
TelemetryEvent PropertyReadEvent(uint32_t pid, std::string_view name, double time);

/// Client connect info (17) of a client that reported its build: the build tool (u32) at 4,
/// the minor version it asked for at initialisation at 8, the SDK's product, major and minor
/// versions at 12, 16 and 20, the patch at 24 and the build number at 28.
TelemetryEvent ClientConnectInfoEvent(uint32_t pid, uint32_t requestedMinorVersion,
                                      const ClientBuild& build, double time);

/// Engine identification (34): engine name, engine version, plug-in name and plug-in version
/// in the slots at 4, 24, 44 and 64, each cut to 19 bytes.
TelemetryEvent EngineIdentificationEvent(uint32_t pid, const EngineIdentity& engine, double time);

/// Runtime error (11): the code (i32) at 8, the not-counted flag (u8) at 16, the text at 17
/// (at most 64 bytes) and, at 81, whether the text was cut.
TelemetryEvent RuntimeErrorEvent(uint32_t pid, int32_t code, std::string_view text, bool notCounted,
                                 double time);

/// Cable state (37): the state (u32) at 0, 4 when the headset's cable is attached and ready, 2
/// when it is unplugged.
TelemetryEvent CableStateEvent(bool connected, double time);

/// End of compositor frame (14): the compositor's frame number (u64) at 0.
TelemetryEvent EndCompositorFrameEvent(uint64_t frame, double time);

/// Lost frame (15): the loss kind (u8, 0: an application frame was lost) at 0, the id of the
/// process whose frame was lost at 4 and the compositor's frame number (u64) at 8.
TelemetryEvent LostFrameEvent(uint32_t pid, uint64_t frame, double time);

}  // namespace luxsim::records
