#pragma once

#include <cstdint>

namespace platform {

/// Owns one operating-system handle (a HANDLE on Windows, a descriptor on POSIX) and closes it
/// when destroyed. Code outside the platform layer only moves it around and hands it back.
class OwnedHandle {
 public:
  static constexpr intptr_t kInvalid = -1;

  OwnedHandle() = default;
  explicit OwnedHandle(intptr_t value) : value_(value) {}
  OwnedHandle(OwnedHandle&& other) noexcept : value_(other.Release()) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { Reset(); }

  intptr_t Get() const { return value_; }
  bool IsValid() const { return value_ != kInvalid; }
  /// Gives up ownership without closing.
  intptr_t Release() {
    const intptr_t value = value_;
    value_ = kInvalid;
    return value;
  }
  /// Closes the handle held (if any) and takes `value`.
  void Reset(intptr_t value = kInvalid);

 private:
  intptr_t value_ = kInvalid;
};

}  // namespace platform
