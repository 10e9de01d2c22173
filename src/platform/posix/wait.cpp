#include <poll.h>

#include <array>
#include <cerrno>
#include <climits>

#include "platform/clock.h"
#include "platform/waitable.h"

// Every waitable object is a descriptor that polls readable while the object is signalled:
// an eventfd with a non-zero count, a pidfd of an ended process, a listening socket with a
// pending connection.

namespace platform {

uint32_t WaitForMultiple(std::span<Waitable* const> objects, uint32_t timeoutMs) {
  if (objects.empty() || objects.size() > kMaximumWaitObjects) return kWaitFailed;
  std::array<pollfd, kMaximumWaitObjects> descriptors{};
  for (size_t i = 0; i < objects.size(); ++i) {
    descriptors[i] = pollfd{static_cast<int>(objects[i]->WaitHandle()), POLLIN, 0};
  }
  const uint64_t start = TickCountMs();
  for (;;) {
    int pollTimeout = -1;
    if (timeoutMs != kInfinite) {
      const uint64_t elapsed = TickCountMs() - start;
      if (elapsed >= timeoutMs) {
        pollTimeout = 0;
      } else {
        pollTimeout = static_cast<int>(std::min<uint64_t>(timeoutMs - elapsed, INT_MAX));
      }
    }
    const int ready = poll(descriptors.data(), objects.size(), pollTimeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return kWaitFailed;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
      const short events = descriptors[i].revents;
      if ((events & POLLNVAL) != 0) return kWaitFailed;
      if ((events & (POLLIN | POLLHUP | POLLERR)) != 0 && objects[i]->AcquireSignal()) {
        return static_cast<uint32_t>(i);
      }
    }
    if (ready == 0 && pollTimeout == 0) return kWaitTimeout;
  }
}

uint32_t WaitForSingle(Waitable& object, uint32_t timeoutMs) {
  Waitable* const objects[] = {&object};
  return WaitForMultiple(objects, timeoutMs);
}

}  // namespace platform
