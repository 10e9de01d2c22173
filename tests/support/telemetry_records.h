#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "events/telemetry_event.h"

namespace testsupport {

/// A record of `type` about `processId` (payload offset 0) stamped `timestamp`.
inline LUX::Telemetry::TelemetryEvent MakeRecord(int32_t type, uint32_t processId = 0,
                                                 double timestamp = 0.0) {
  LUX::Telemetry::TelemetryEvent record;
  record.type = type;
  record.timestamp = timestamp;
  LUX::Telemetry::WritePayload<uint32_t, 0>(record, processId);
  return record;
}

/// Copies the bytes of `text` to payload offset `offset`, without a terminating NUL.
inline void WritePayloadText(LUX::Telemetry::TelemetryEvent& record, size_t offset,
                             std::string_view text) {
  std::memcpy(record.payload + offset, text.data(), text.size());
}

/// A packet header announcing `size` bytes and `count` records, whatever they are.
inline std::vector<std::byte> PacketHeader(uint64_t size, uint64_t count) {
  std::vector<std::byte> header(16);
  std::memcpy(header.data(), &size, sizeof size);
  std::memcpy(header.data() + 8, &count, sizeof count);
  return header;
}

}  // namespace testsupport
