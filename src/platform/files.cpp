#include "platform/files.h"

#include <utility>

// A directory listing's ownership moves the same way on every system; opening, reading and
// closing it are the backend's.

namespace platform {

DirectoryListing::~DirectoryListing() { Close(); }

DirectoryListing::DirectoryListing(DirectoryListing&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)) {}

DirectoryListing& DirectoryListing::operator=(DirectoryListing&& other) noexcept {
  if (this != &other) {
    Close();
    stream_ = std::exchange(other.stream_, nullptr);
  }
  return *this;
}

}  // namespace platform
