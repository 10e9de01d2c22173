#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace LUX::Telemetry {

/// Bytes at the start of a record that each event type lays out for itself.
inline constexpr size_t kPayloadBytes = 96;

/// One realtime event record of the runtime, 112 bytes, identical on the wire (little-endian)
/// and in memory. A default-constructed record is an empty slot.
struct TelemetryEvent {
  /// Laid out per event type; events about a client process start with its id (u32).
  std::byte payload[kPayloadBytes] = {};
  /// Carried along unread and unchanged.
  uint32_t reserved = 0;
  /// Event type code (`EventType`); -1 in an empty slot.
  int32_t type = -1;
  /// Seconds on the performance-counter clock; 0.0 means not stamped.
  double timestamp = 0.0;
};

static_assert(std::endian::native == std::endian::little, "records are used as they arrive");
static_assert(sizeof(TelemetryEvent) == 112);
static_assert(offsetof(TelemetryEvent, payload) == 0);
static_assert(offsetof(TelemetryEvent, reserved) == 96);
static_assert(offsetof(TelemetryEvent, type) == 100);
static_assert(offsetof(TelemetryEvent, timestamp) == 104);
static_assert(std::is_trivially_copyable_v<TelemetryEvent>);

/// Event type codes. 2 to 21 are the runtime's named events; the higher codes are named after
/// what they report.
enum EventType : int32_t {
  kDistortionBegin = 2,
  kDistortionEnd = 3,
  kVSync = 4,
  kAppCompositorFocus = 5,
  kAppConnect = 6,
  kAppDisconnect = 7,
  kAppNoOp = 8,
  kLatencyTiming = 9,
  kEndFrameAppTiming = 10,
  kError = 11,
  kHWMetrics = 12,
  kBeginCompositorFrame = 13,
  kEndCompositorFrame = 14,
  kLostFrame = 15,
  kAtwFrameStats = 16,
  kClientConnectInfo = 17,
  kMarker = 18,
  kTrackingData = 19,
  kDistortionPrediction = 20,
  kFinalizeCompositorFrame = 21,
  kSessionCreated = 26,
  kSessionDestroyed = 27,
  kFrameSubmitted = 33,
  kEngineIdentification = 34,
  /// Holds, at payload offset 8, a pointer to an object that the record owns.
  kObjectOwningEvent = 36,
  kCableState = 37,
  kSessionStatus = 38,
  kRecenterFlagCleared = 39,
  kRenderDescriptionFetched = 40,
  kSwapChainCommitted = 41,
  kRenderPoseSubmitted = 42,
  kLayersSubmitted = 43,
  kPropertyRead = 44,
};

/// Payload offset of the owned-object pointer of a `kObjectOwningEvent` record.
inline constexpr size_t kOwnedObjectOffset = 8;

/// The value of type `T` at payload offset `Offset`.
template <typename T, size_t Offset>
T ReadPayload(const TelemetryEvent& event) {
  static_assert(std::is_trivially_copyable_v<T> && Offset + sizeof(T) <= kPayloadBytes);
  T value;
  std::memcpy(&value, event.payload + Offset, sizeof value);
  return value;
}

/// Stores `value` at payload offset `Offset`.
template <typename T, size_t Offset>
void WritePayload(TelemetryEvent& event, const T& value) {
  static_assert(std::is_trivially_copyable_v<T> && Offset + sizeof(T) <= kPayloadBytes);
  std::memcpy(event.payload + Offset, &value, sizeof value);
}

/// The text at payload offset `offset`: up to its NUL, at most `maxBytes` bytes and never past
/// the payload's end.
std::string ReadPayloadText(const TelemetryEvent& event, size_t offset, size_t maxBytes);

/// The id of the client process that a per-process event is about.
inline uint32_t EventProcessId(const TelemetryEvent& event) {
  return ReadPayload<uint32_t, 0>(event);
}

}  // namespace LUX::Telemetry
