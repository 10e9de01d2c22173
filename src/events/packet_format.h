#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "events/telemetry_event.h"

namespace LUX::Telemetry {

// A packet of the realtime event stream: the total size in bytes, header included (u64), the
// number of records N (u64), then N records; all little-endian.

inline constexpr size_t kPacketHeaderBytes = 16;
inline constexpr size_t kRecordBytes = sizeof(TelemetryEvent);
/// Packets announce fewer records than this. The bound also keeps 16 + 112 x N from wrapping.
inline constexpr uint64_t kPacketRecordLimit = 10000;

/// True when a header announcing `size` bytes and `count` records describes a valid packet.
bool IsWellFormedHeader(uint64_t size, uint64_t count);

/// The bytes of one packet holding `records`, as the runtime sends it.
std::vector<std::byte> EncodePacket(std::span<const TelemetryEvent> records);

}  // namespace LUX::Telemetry
