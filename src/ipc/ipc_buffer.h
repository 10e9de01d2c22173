#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace IPC {

/// Serialization of the values of one message. Byte 0 is the tagging byte: a writer always
/// writes 0 (untagged); a reader treats a non-zero byte as tagged, where every value is
/// preceded by a tag byte naming its encoding. Values start at position 1, little-endian:
///
///   integer (any width)  8 bytes          tag 8
///   bool or byte         1 byte           tag 1
///   string               integer length, then the raw bytes (tag on the length only)
///   raw block            the bytes as they are (no tag)
///
/// Any failure (no room, a value missing or out of range, a wrong tag) sets the error flag, and
/// every later operation fails.
class IpcBuffer {
 public:
  static constexpr uint8_t kIntegerTag = 8;
  static constexpr uint8_t kByteTag = 1;
  /// Largest storage a writer grows to (a message is at most this long).
  static constexpr int32_t kMaxCapacity = 0x40000000;

  /// A writer over storage of its own that grows as needed.
  static IpcBuffer Growing(int32_t initialCapacity = 256);
  /// A writer over `storage` that fails when it runs out of room.
  static IpcBuffer Fixed(std::span<uint8_t> storage);
  /// A writer over `storage` that moves what it wrote to storage of its own when it runs out of
  /// room, growing from then on.
  static IpcBuffer Spilling(std::span<uint8_t> storage);
  /// A reader of `message`.
  static IpcBuffer Reader(std::span<const uint8_t> message);

  IpcBuffer(IpcBuffer&&) = default;
  IpcBuffer& operator=(IpcBuffer&&) = default;

  bool WriteInt(int64_t value);
  bool WriteByte(uint8_t value);
  bool WriteBool(bool value) { return WriteByte(value ? 1 : 0); }
  bool WriteString(std::string_view value);
  bool WriteRaw(std::span<const uint8_t> bytes);

  bool ReadInt(int64_t& value);
  /// Reads an integer that must fit `T` (a 64-bit unsigned value keeps its bits).
  template <std::integral T>
  bool ReadIntAs(T& value) {
    int64_t wide = 0;
    if (!ReadInt(wide)) return false;
    if constexpr (!std::same_as<T, uint64_t>) {
      if (!std::in_range<T>(wide)) return Fail();
    }
    value = static_cast<T>(wide);
    return true;
  }
  bool ReadByte(uint8_t& value);
  bool ReadBool(bool& value);
  /// Reads a string of at most `maxLength` bytes.
  bool ReadString(std::string& value, int64_t maxLength = kMaxCapacity);
  /// Reads a string as a view into the message, valid as long as the message's bytes are.
  bool ReadStringView(std::string_view& value);
  bool ReadRaw(std::span<uint8_t> bytes);

  /// Starts writing again at position 1, clearing the error flag; the storage is kept.
  void Rewind();

  bool IsWriting() const { return writing_; }
  bool HasError() const { return error_; }
  bool IsTagged() const { return tagged_; }
  /// True when the data lives in storage the buffer owns (it grew or spilled).
  bool OwnsStorage() const { return owned_ != nullptr; }
  /// True when a reader has consumed every byte.
  bool AtEnd() const { return position_ == capacity_; }
  int32_t Position() const { return position_; }
  int32_t Capacity() const { return capacity_; }
  /// The bytes written so far (a writer) or the whole message (a reader).
  std::span<const uint8_t> Bytes() const;

 private:
  enum class Growth { kNone, kOwned };

  IpcBuffer(bool writing, uint8_t* data, const uint8_t* view, int32_t capacity, Growth growth);
  bool Fail();
  /// Makes room for `count` more bytes at the position.
  bool Reserve(int64_t count);
  bool Take(int64_t count);
  bool ReadTag(uint8_t expected);

  bool writing_;
  uint8_t* data_;        // where a writer writes (null for a reader)
  const uint8_t* view_;  // where the bytes are read
  int32_t capacity_;
  int32_t position_ = 1;
  bool error_ = false;
  bool tagged_ = false;
  Growth growth_;
  std::unique_ptr<uint8_t[]> owned_;
};

}  // namespace IPC
