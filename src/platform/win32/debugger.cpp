#include "platform/debugger.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

bool IsDebuggerAttached() { return IsDebuggerPresent() != FALSE; }

void OutputDebugText(const std::string& text) { OutputDebugStringW(Widen(text).c_str()); }

}  // namespace platform
