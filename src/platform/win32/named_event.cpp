#include "platform/named_event.h"

#include <windows.h>

#include <utility>

#include "platform/win32/wide_text.h"

// Named events are the system's own kernel objects. The owner keeps its event handle as a
// 32-bit value (HandleToLong), which Windows guarantees to be enough for kernel handles.

namespace platform {

bool IsNamedEventSignalled(std::string_view name) {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, Widen(name).c_str());
  if (event == nullptr) return false;
  const bool signalled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
  CloseHandle(event);
  return signalled;
}

std::optional<OwnedNamedEvent> OwnedNamedEvent::Create(std::string_view name, bool signalled) {
  HANDLE event = CreateEventW(nullptr, TRUE, signalled ? TRUE : FALSE, Widen(name).c_str());
  if (event == nullptr) return std::nullopt;
  // An event of that name that another process made is not this one's to own.
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    return std::nullopt;
  }
  return OwnedNamedEvent(HandleToLong(event), std::string(name));
}

bool OwnedNamedEvent::Set() { return SetEvent(LongToHandle(descriptor_)) != FALSE; }

void OwnedNamedEvent::Reset() { ResetEvent(LongToHandle(descriptor_)); }

void OwnedNamedEvent::Release() {
  if (descriptor_ >= 0) CloseHandle(LongToHandle(std::exchange(descriptor_, -1)));
}

}  // namespace platform
