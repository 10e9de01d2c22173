#include "platform/event.h"

#include <windows.h>
#include <winternl.h>

#include <string_view>

// An event is a kernel event object (CreateEvent). An auto-reset event is reset by the wait it
// satisfies, so AcquireSignal has nothing left to do.

namespace platform {

namespace {

HANDLE Native(const OwnedHandle& handle) { return reinterpret_cast<HANDLE>(handle.Get()); }

// Whether `handle` is an event object: its type name from NtQueryObject.
bool IsEventHandle(HANDLE handle) {
  alignas(PUBLIC_OBJECT_TYPE_INFORMATION) unsigned char buffer[1024] = {};
  ULONG length = 0;
  if (!NT_SUCCESS(NtQueryObject(handle, ObjectTypeInformation, buffer, sizeof buffer, &length))) {
    return false;
  }
  const auto* type = reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer);
  return type->TypeName.Buffer != nullptr &&
         std::wstring_view(type->TypeName.Buffer, type->TypeName.Length / sizeof(wchar_t)) ==
             L"Event";
}

}  // namespace

std::optional<Event> Event::Create(EventReset reset, bool initiallySet) {
  HANDLE handle =
      CreateEventW(nullptr, reset == EventReset::kManual ? TRUE : FALSE, initiallySet, nullptr);
  if (handle == nullptr) return std::nullopt;
  return Event(OwnedHandle(reinterpret_cast<intptr_t>(handle)), reset);
}

std::optional<Event> Event::Adopt(OwnedHandle handle, EventReset reset) {
  if (!handle.IsValid() || !IsEventHandle(Native(handle))) return std::nullopt;
  return Event(std::move(handle), reset);
}

void Event::Set() { SetEvent(Native(handle_)); }

void Event::Reset() { ResetEvent(Native(handle_)); }

bool Event::Wait(uint32_t timeoutMs) { return WaitForSingle(*this, timeoutMs) == 0; }

bool Event::AcquireSignal() { return true; }

}  // namespace platform
