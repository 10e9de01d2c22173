#include "events/packet_format.h"

#include <cstring>

namespace LUX::Telemetry {

bool IsWellFormedHeader(uint64_t size, uint64_t count) {
  return count < kPacketRecordLimit && size == kPacketHeaderBytes + kRecordBytes * count;
}

std::vector<std::byte> EncodePacket(std::span<const TelemetryEvent> records) {
  const uint64_t count = records.size();
  const uint64_t size = kPacketHeaderBytes + kRecordBytes * count;
  std::vector<std::byte> packet(size);
  std::memcpy(packet.data(), &size, sizeof size);
  std::memcpy(packet.data() + sizeof size, &count, sizeof count);
  if (count > 0)
    std::memcpy(packet.data() + kPacketHeaderBytes, records.data(), kRecordBytes * count);
  return packet;
}

}  // namespace LUX::Telemetry
