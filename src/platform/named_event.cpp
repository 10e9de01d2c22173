#include "platform/named_event.h"

#include <utility>

// An owned named event's ownership moves the same way on every system; creating and releasing
// it are the backend's.

namespace platform {

OwnedNamedEvent::~OwnedNamedEvent() { Release(); }

OwnedNamedEvent::OwnedNamedEvent(OwnedNamedEvent&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), path_(std::move(other.path_)) {}

OwnedNamedEvent& OwnedNamedEvent::operator=(OwnedNamedEvent&& other) noexcept {
  if (this != &other) {
    Release();
    descriptor_ = std::exchange(other.descriptor_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

}  // namespace platform
