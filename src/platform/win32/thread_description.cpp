#include "platform/thread_description.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

// SetThreadDescription exists from Windows 10 1607 on; older systems leave threads unnamed.
void SetCurrentThreadDescription(const char* description) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (setDescription != nullptr) setDescription(GetCurrentThread(), Widen(description).c_str());
}

}  // namespace platform
