#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

// Reads a fuzz input front to back: little-endian numbers and byte runs. Reading past the end
// gives zeros and empty runs, so a target never needs to check the length itself.
class FuzzInput {
 public:
  explicit FuzzInput(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Empty() const { return bytes_.empty(); }

  /// The next `count` bytes (at most 8) as a little-endian number.
  uint64_t Take(size_t count) {
    uint64_t value = 0;
    for (size_t i = 0; i < count && !bytes_.empty(); ++i) {
      value |= static_cast<uint64_t>(bytes_.front()) << (8 * i);
      bytes_ = bytes_.subspan(1);
    }
    return value;
  }

  /// The next `count` bytes, fewer at the end.
  std::span<const uint8_t> TakeBytes(size_t count) {
    const auto taken = bytes_.first(std::min(count, bytes_.size()));
    bytes_ = bytes_.subspan(taken.size());
    return taken;
  }

  /// What is left.
  std::span<const uint8_t> Rest() { return TakeBytes(bytes_.size()); }

 private:
  std::span<const uint8_t> bytes_;
};
