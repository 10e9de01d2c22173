#include "events/packet_reader.h"

#include <cstdint>
#include <cstring>

#include "events/packet_format.h"

namespace LUX::Telemetry {

PacketReader::PacketReader() : buffer_(kBufferBytes) {}

std::span<std::byte> PacketReader::FreeSpace() { return std::span(buffer_).subspan(fill_); }

bool PacketReader::Commit(size_t count, const RecordSink& sink) {
  fill_ += count;
  size_t start = 0;
  bool wellFormed = true;
  while (fill_ - start >= kPacketHeaderBytes) {
    uint64_t size = 0;
    uint64_t records = 0;
    std::memcpy(&size, buffer_.data() + start, sizeof size);
    std::memcpy(&records, buffer_.data() + start + sizeof size, sizeof records);
    if (size == 0 || size > fill_ - start) break;
    if (!IsWellFormedHeader(size, records)) {
      wellFormed = false;
      break;
    }
    TelemetryEvent record;
    for (uint64_t i = 0; i < records; ++i) {
      std::memcpy(&record, buffer_.data() + start + kPacketHeaderBytes + i * kRecordBytes,
                  kRecordBytes);
      sink(record);
    }
    start += size;
  }
  // Whatever is left moves to the front once, however many packets were taken.
  if (start > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start, fill_ - start);
    fill_ -= start;
  }
  return wellFormed;
}

}  // namespace LUX::Telemetry
