#include <windows.h>

#include <array>

#include "platform/waitable.h"

// Every waitable object is a kernel object that WaitForMultipleObjects watches directly; an
// auto-reset event is reset by the wait itself.

namespace platform {

uint32_t WaitForMultiple(std::span<Waitable* const> objects, uint32_t timeoutMs) {
  if (objects.empty() || objects.size() > kMaximumWaitObjects) return kWaitFailed;
  std::array<HANDLE, kMaximumWaitObjects> handles{};
  for (size_t i = 0; i < objects.size(); ++i) {
    handles[i] = reinterpret_cast<HANDLE>(objects[i]->WaitHandle());
  }
  for (;;) {
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(objects.size()), handles.data(),
                                                FALSE, timeoutMs);
    if (result == WAIT_TIMEOUT) return kWaitTimeout;
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + objects.size()) {
      const uint32_t index = result - WAIT_OBJECT_0;
      if (objects[index]->AcquireSignal()) return index;
      continue;
    }
    return kWaitFailed;  // WAIT_FAILED; abandoned mutexes are never waited for
  }
}

uint32_t WaitForSingle(Waitable& object, uint32_t timeoutMs) {
  Waitable* const objects[] = {&object};
  return WaitForMultiple(objects, timeoutMs);
}

}  // namespace platform
