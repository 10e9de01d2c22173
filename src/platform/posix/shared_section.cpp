#include "platform/shared_section.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

// A section is a sealed memfd: its size can neither shrink nor grow once created, so a peer
// cannot truncate it under our mapping (which would fault on access).

namespace platform {

namespace {

constexpr int kSizeSeals = F_SEAL_SHRINK | F_SEAL_GROW;

uint8_t* Map(int fd, size_t size) {
  void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return base == MAP_FAILED ? nullptr : static_cast<uint8_t*>(base);
}

}  // namespace

std::optional<SharedSection> SharedSection::Create(size_t size) {
  if (size == 0) return std::nullopt;
  OwnedHandle handle(memfd_create("corvia-section", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  const int fd = static_cast<int>(handle.Get());
  if (!handle.IsValid() || ftruncate(fd, static_cast<off_t>(size)) != 0 ||
      fcntl(fd, F_ADD_SEALS, kSizeSeals | F_SEAL_SEAL) != 0) {
    return std::nullopt;
  }
  uint8_t* base = Map(fd, size);
  if (base == nullptr) return std::nullopt;
  return SharedSection(std::move(handle), base, size);
}

std::optional<SharedSection> SharedSection::Open(OwnedHandle handle, size_t expectedSize) {
  const int fd = static_cast<int>(handle.Get());
  if (!handle.IsValid() || expectedSize == 0) return std::nullopt;
  const int seals = fcntl(fd, F_GET_SEALS);
  struct stat status {};
  if (seals < 0 || (seals & kSizeSeals) != kSizeSeals || fstat(fd, &status) != 0 ||
      !S_ISREG(status.st_mode) || static_cast<size_t>(status.st_size) != expectedSize) {
    return std::nullopt;
  }
  uint8_t* base = Map(fd, expectedSize);
  if (base == nullptr) return std::nullopt;
  return SharedSection(std::move(handle), base, expectedSize);
}

void SharedSection::Unmap() {
  if (base_ != nullptr) munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
}

}  // namespace platform
