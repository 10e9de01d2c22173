#include "platform/files.h"

#include <utility>

// The ownership of a read-only file and of a directory listing moves the same way on every
// system; opening, reading and closing them are the backend's.

namespace platform {

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

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
