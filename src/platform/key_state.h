#pragma once

namespace platform {

/// Virtual-key codes of the keys the validator watches.
enum VirtualKey : int {
  kKeyEnter = 13,
  kKeyEscape = 27,
};

/// GetAsyncKeyState in the sense the validator uses it: true when the key is down now or was
/// pressed since the previous query. Keys come from the console's standard input.
bool IsKeyPressed(VirtualKey key);

}  // namespace platform
