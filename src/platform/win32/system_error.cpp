#include "platform/system_error.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

uint32_t LastErrorCode() { return GetLastError(); }

void SetLastErrorCode(uint32_t code) { SetLastError(code); }

uint32_t PathTooLongErrorCode() { return ERROR_FILENAME_EXCED_RANGE; }

std::string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer),
      0, nullptr);
  if (length == 0 || buffer == nullptr) return "Unknown error " + std::to_string(code);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  // The system's texts end with a line end.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return Narrow(text);
}

}  // namespace platform
