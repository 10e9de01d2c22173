#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/handle.h"

namespace platform {

/// A section of shared memory backed by the page file (CreateFileMapping with no file) and
/// mapped read/write into this process (MapViewOfFile). Its handle can be passed to another
/// process, which maps the same memory with `Open`. The memory starts out zeroed.
class SharedSection {
 public:
  /// A new section of `size` bytes, or nothing on failure.
  static std::optional<SharedSection> Create(size_t size);
  /// Maps a section that another process created and passed over. Fails unless the handle is
  /// a section of exactly `expectedSize` bytes whose size can no longer change, so that no
  /// access to the mapping can fault.
  static std::optional<SharedSection> Open(OwnedHandle handle, size_t expectedSize);

  SharedSection(SharedSection&& other) noexcept;
  SharedSection& operator=(SharedSection&& other) noexcept;
  SharedSection(const SharedSection&) = delete;
  SharedSection& operator=(const SharedSection&) = delete;
  ~SharedSection();

  std::span<uint8_t> Memory() const { return {base_, size_}; }
  /// The handle, to pass the section to another process.
  const OwnedHandle& Handle() const { return handle_; }

 private:
  SharedSection(OwnedHandle handle, uint8_t* base, size_t size)
      : handle_(std::move(handle)), base_(base), size_(size) {}
  void Unmap();

  OwnedHandle handle_;
  uint8_t* base_ = nullptr;
  size_t size_ = 0;
};

}  // namespace platform
