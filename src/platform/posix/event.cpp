#include "platform/event.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <string>

// An event is an eventfd: signalled while its count is non-zero. Set adds one, a reset reads
// the count back to zero. The descriptor is non-blocking, so a Set on a count that is already
// at its limit (the event is signalled anyway) and a reset of a non-signalled event return at
// once.

namespace platform {

namespace {

bool IsEventDescriptor(int fd) {
  char target[64];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = readlink(link.c_str(), target, sizeof target);
  return length > 0 &&
         std::string_view(target, static_cast<size_t>(length)) == "anon_inode:[eventfd]";
}

bool ReadCount(int fd) {
  uint64_t count = 0;
  return read(fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

}  // namespace

std::optional<Event> Event::Create(EventReset reset, bool initiallySet) {
  const int fd = eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return std::nullopt;
  return Event(OwnedHandle(fd), reset);
}

std::optional<Event> Event::Adopt(OwnedHandle handle, EventReset reset) {
  const int fd = static_cast<int>(handle.Get());
  if (!handle.IsValid() || !IsEventDescriptor(fd)) return std::nullopt;
  // The sender may have made it blocking; the status flags belong to the shared descriptor.
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return std::nullopt;
  return Event(std::move(handle), reset);
}

void Event::Set() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(static_cast<int>(handle_.Get()), &one, sizeof one);
}

void Event::Reset() { ReadCount(static_cast<int>(handle_.Get())); }

bool Event::Wait(uint32_t timeoutMs) { return WaitForSingle(*this, timeoutMs) == 0; }

bool Event::AcquireSignal() {
  return reset_ == EventReset::kManual || ReadCount(static_cast<int>(handle_.Get()));
}

}  // namespace platform
