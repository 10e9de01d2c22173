#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "events/telemetry_event.h"

namespace LUX::Telemetry {

/// Reassembles the packets of the event stream from what each receive returns: a receive may
/// hold part of a packet or several packets. The buffer is allocated once and holds 14368
/// bytes, so a packet of more than 128 records can never complete.
class PacketReader {
 public:
  static constexpr size_t kBufferBytes = 14368;
  using RecordSink = std::function<void(const TelemetryEvent&)>;

  PacketReader();

  /// The room after the bytes held, where the next receive writes; empty when the buffer is
  /// full.
  std::span<std::byte> FreeSpace();
  /// Takes `count` bytes just written into `FreeSpace()` and hands the records of every
  /// complete packet to `sink`, in order, dropping each packet from the buffer. Returns false
  /// when the header at the front is malformed: processing stops and its bytes stay, so every
  /// later arrival meets it again.
  bool Commit(size_t count, const RecordSink& sink);
  /// Bytes held that do not form a complete packet yet.
  size_t BufferedBytes() const { return fill_; }

 private:
  std::vector<std::byte> buffer_;
  size_t fill_ = 0;
};

}  // namespace LUX::Telemetry
