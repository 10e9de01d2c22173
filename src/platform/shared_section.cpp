#include "platform/shared_section.h"

#include <utility>

// A section's ownership moves the same way on every system; mapping and unmapping are the
// backend's.

namespace platform {

SharedSection::SharedSection(SharedSection&& other) noexcept
    : handle_(std::move(other.handle_)),
      base_(std::exchange(other.base_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

SharedSection& SharedSection::operator=(SharedSection&& other) noexcept {
  if (this != &other) {
    Unmap();
    handle_ = std::move(other.handle_);
    base_ = std::exchange(other.base_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

SharedSection::~SharedSection() { Unmap(); }

}  // namespace platform
