#pragma once

#include "platform/waitable.h"

namespace platform {

/// Virtual-key codes of the keys the validator watches.
enum VirtualKey : int {
  kKeyEnter = 13,
  kKeyEscape = 27,
};

/// GetAsyncKeyState in the sense the validator uses it: true when the key is down now or was
/// pressed since the previous query. Keys come from the console's standard input.
bool IsKeyPressed(VirtualKey key);

/// An object that is signalled while keyboard input waits to be read at the console, so that a
/// wait for a key can sleep until one arrives; `IsKeyPressed` reads that input. Null where keys
/// can only be polled, and once no more input can arrive (the end of a pipe).
Waitable* ConsoleKeyInput();

}  // namespace platform
