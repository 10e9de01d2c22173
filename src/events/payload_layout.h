#pragma once

#include <cstddef>
#include <cstdint>

#include "events/telemetry_event.h"

// Where the fields of the record kinds that the validator reads lie in the payload, and the
// values they take; what the runtime writes and the validator reads. Every record about a
// client process has the process id (u32) at offset 0.

namespace LUX::Telemetry::layout {

// Error (11).
inline constexpr size_t kErrorCode = 8;         // i32
inline constexpr size_t kErrorNotCounted = 16;  // u8: non-zero, neither counted nor printed
inline constexpr size_t kErrorText = 17;        // up to kErrorTextBytes, NUL-ended when shorter
inline constexpr size_t kErrorTextBytes = 64;
inline constexpr size_t kErrorTextTruncated = 81;  // u8: non-zero, the text was cut

// Lost frame (15).
inline constexpr size_t kLossKind = 0;  // u8
inline constexpr uint8_t kApplicationFrameLost = 0;

// Client connect info (17): the client's SDK version.
inline constexpr size_t kSdkProduct = 12;  // u32
inline constexpr size_t kSdkMajor = 16;    // u32
inline constexpr size_t kSdkMinor = 20;    // u32

// Engine identification (34): four NUL-ended texts in slots of kEngineSlotBytes.
inline constexpr size_t kEngineName = 4;
inline constexpr size_t kEngineVersion = 24;
inline constexpr size_t kEnginePluginName = 44;
inline constexpr size_t kEnginePluginVersion = 64;
inline constexpr size_t kEngineSlotBytes = 20;

// Cable state (37).
inline constexpr size_t kCableState = 0;  // u32
inline constexpr uint32_t kCableAttachedAndReady = 4;
inline constexpr uint32_t kCableUnplugged = 2;

// Session status (38): six flag bytes, the first the visible flag.
inline constexpr size_t kStatusFlags = 4;
inline constexpr size_t kStatusFlagCount = 6;

// Render description fetched (40).
inline constexpr size_t kEye = 4;      // i32: 0 left, 1 right
inline constexpr size_t kEyePose = 8;  // 7 x f32: orientation x, y, z, w, position x, y, z

// Render pose submitted (42).
inline constexpr size_t kRenderPose = 8;  // f32

// Layers submitted (43): the count, then entries whose first byte is the layer kind.
inline constexpr size_t kLayerCount = 5;  // u8
inline constexpr size_t kLayerEntries = 9;
inline constexpr size_t kLayerEntryBytes = 20;
/// Entries whose kind byte lies inside the payload; the last of them is cut short.
inline constexpr size_t kMaxLayerEntries =
    (kPayloadBytes - kLayerEntries - 1) / kLayerEntryBytes + 1;
/// The layer kind that does not follow the head.
inline constexpr uint8_t kNotHeadTrackedLayer = 4;

// Property read (44): the name, NUL-ended, up to the payload's end.
inline constexpr size_t kPropertyName = 4;

static_assert(kErrorTextTruncated == kErrorText + kErrorTextBytes);
static_assert(kEngineVersion == kEngineName + kEngineSlotBytes &&
              kEnginePluginName == kEngineVersion + kEngineSlotBytes &&
              kEnginePluginVersion == kEnginePluginName + kEngineSlotBytes);
static_assert(kMaxLayerEntries == 5);

}  // namespace LUX::Telemetry::layout
