#include "ipc/ipc_buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace IPC {

IpcBuffer::IpcBuffer(bool writing, uint8_t* data, const uint8_t* view, int32_t capacity,
                     Growth growth)
    : writing_(writing), data_(data), view_(view), capacity_(capacity), growth_(growth) {
  if (capacity_ < 1) {
    error_ = true;
    position_ = 0;
    capacity_ = 0;
    return;
  }
  if (writing_) {
    data_[0] = 0;
  } else {
    tagged_ = view_[0] != 0;
  }
}

IpcBuffer IpcBuffer::Growing(int32_t initialCapacity) {
  const int32_t capacity = std::clamp(initialCapacity, 1, kMaxCapacity);
  auto storage = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity));
  IpcBuffer buffer(true, storage.get(), storage.get(), capacity, Growth::kOwned);
  buffer.owned_ = std::move(storage);
  return buffer;
}

IpcBuffer IpcBuffer::Fixed(std::span<uint8_t> storage) {
  const auto capacity = static_cast<int32_t>(std::min<size_t>(storage.size(), kMaxCapacity));
  return IpcBuffer(true, storage.data(), storage.data(), capacity, Growth::kNone);
}

IpcBuffer IpcBuffer::Spilling(std::span<uint8_t> storage) {
  const auto capacity = static_cast<int32_t>(std::min<size_t>(storage.size(), kMaxCapacity));
  return IpcBuffer(true, storage.data(), storage.data(), capacity, Growth::kOwned);
}

IpcBuffer IpcBuffer::Reader(std::span<const uint8_t> message) {
  const int32_t capacity =
      message.size() > static_cast<size_t>(kMaxCapacity) ? 0 : static_cast<int32_t>(message.size());
  return IpcBuffer(false, nullptr, message.data(), capacity, Growth::kNone);
}

bool IpcBuffer::Fail() {
  error_ = true;
  return false;
}

bool IpcBuffer::Reserve(int64_t count) {
  if (error_ || !writing_ || count < 0) return Fail();
  const int64_t needed = position_ + count;
  if (needed <= capacity_) return true;
  if (growth_ == Growth::kNone || needed > kMaxCapacity) return Fail();
  // The smallest power of two that holds what is needed.
  const auto grown = std::bit_ceil(static_cast<uint64_t>(needed));
  std::unique_ptr<uint8_t[]> storage;
  try {
    storage = std::make_unique_for_overwrite<uint8_t[]>(grown);
  } catch (const std::bad_alloc&) {
    return Fail();
  }
  std::memcpy(storage.get(), data_, static_cast<size_t>(position_));
  owned_ = std::move(storage);
  data_ = owned_.get();
  view_ = data_;
  capacity_ = static_cast<int32_t>(grown);
  return true;
}

bool IpcBuffer::Take(int64_t count) {
  if (error_ || writing_ || count < 0 || count > capacity_ - position_) return Fail();
  return true;
}

bool IpcBuffer::ReadTag(uint8_t expected) {
  if (!tagged_) return !error_;
  if (!Take(1)) return false;
  if (view_[position_++] != expected) return Fail();
  return true;
}

bool IpcBuffer::WriteInt(int64_t value) {
  if (!Reserve(8)) return false;
  auto bits = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i, bits >>= 8) data_[position_ + i] = static_cast<uint8_t>(bits);
  position_ += 8;
  return true;
}

bool IpcBuffer::WriteByte(uint8_t value) {
  if (!Reserve(1)) return false;
  data_[position_++] = value;
  return true;
}

bool IpcBuffer::WriteString(std::string_view value) {
  if (!WriteInt(static_cast<int64_t>(value.size()))) return false;
  return WriteRaw({reinterpret_cast<const uint8_t*>(value.data()), value.size()});
}

bool IpcBuffer::WriteRaw(std::span<const uint8_t> bytes) {
  if (!Reserve(static_cast<int64_t>(bytes.size()))) return false;
  if (!bytes.empty()) std::memcpy(data_ + position_, bytes.data(), bytes.size());
  position_ += static_cast<int32_t>(bytes.size());
  return true;
}

bool IpcBuffer::ReadInt(int64_t& value) {
  if (!ReadTag(kIntegerTag) || !Take(8)) return false;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | view_[position_ + i];
  position_ += 8;
  value = static_cast<int64_t>(bits);
  return true;
}

bool IpcBuffer::ReadByte(uint8_t& value) {
  if (!ReadTag(kByteTag) || !Take(1)) return false;
  value = view_[position_++];
  return true;
}

bool IpcBuffer::ReadBool(bool& value) {
  uint8_t byte = 0;
  if (!ReadByte(byte)) return false;
  value = byte != 0;
  return true;
}

bool IpcBuffer::ReadString(std::string& value, int64_t maxLength) {
  std::string_view view;
  if (!ReadStringView(view)) return false;
  if (static_cast<int64_t>(view.size()) > maxLength) return Fail();
  value.assign(view);
  return true;
}

bool IpcBuffer::ReadStringView(std::string_view& value) {
  int64_t length = 0;
  if (!ReadInt(length)) return false;
  if (length < 0 || !Take(length)) return Fail();
  value = {reinterpret_cast<const char*>(view_ + position_), static_cast<size_t>(length)};
  position_ += static_cast<int32_t>(length);
  return true;
}

bool IpcBuffer::ReadRaw(std::span<uint8_t> bytes) {
  if (!Take(static_cast<int64_t>(bytes.size()))) return false;
  if (!bytes.empty()) std::memcpy(bytes.data(), view_ + position_, bytes.size());
  position_ += static_cast<int32_t>(bytes.size());
  return true;
}

void IpcBuffer::Rewind() {
  if (!writing_ || capacity_ < 1) return;
  position_ = 1;
  error_ = false;
}

std::span<const uint8_t> IpcBuffer::Bytes() const {
  if (writing_) return {view_, static_cast<size_t>(position_)};
  return {view_, static_cast<size_t>(capacity_)};
}

}  // namespace IPC
