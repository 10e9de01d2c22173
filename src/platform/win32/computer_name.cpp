#include "platform/computer_name.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &length)) return {};
  return Narrow(std::wstring_view(name, length));
}

}  // namespace platform
