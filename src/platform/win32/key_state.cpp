#include "platform/key_state.h"

#include <windows.h>

namespace platform {

// GetAsyncKeyState: the high bit tells that the key is down now, the low bit that it was pressed
// since the previous call.
bool IsKeyPressed(VirtualKey key) {
  return (GetAsyncKeyState(static_cast<int>(key)) & 0x8001) != 0;
}

// GetAsyncKeyState reads the keyboard's state, not the console's input queue, so there is nothing
// to wait on: a wait for a key polls it.
Waitable* ConsoleKeyInput() { return nullptr; }

}  // namespace platform
