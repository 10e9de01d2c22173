#include "platform/registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

std::optional<std::string> ReadMachineRegistryString(std::string_view key,
                                                     std::string_view valueName, size_t maxLength) {
  const std::wstring wideKey = Widen(key);
  const std::wstring wideValue = Widen(valueName);
  // Room for the longest accepted value, one character more to tell a longer one, and the NUL.
  std::vector<wchar_t> buffer(maxLength + 2);
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  const LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideValue.c_str(),
                                      RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return std::nullopt;
  }
  const size_t length = wcsnlen(buffer.data(), size / sizeof(wchar_t));
  if (length > maxLength) {
    SetLastError(ERROR_MORE_DATA);
    return std::nullopt;
  }
  return Narrow(std::wstring_view(buffer.data(), length));
}

}  // namespace platform
