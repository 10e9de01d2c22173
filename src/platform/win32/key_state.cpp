#include "platform/key_state.h"

#include <windows.h>

namespace platform {

// GetAsyncKeyState: the high bit tells that the key is down now, the low bit that it was pressed
// since the previous call.
bool IsKeyPressed(VirtualKey key) {
  return (GetAsyncKeyState(static_cast<int>(key)) & 0x8001) != 0;
}

}  // namespace platform
