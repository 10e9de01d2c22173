#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "ipc/ipc_buffer.h"

namespace IPC {

// The encodings of the argument types a remote function may take: strings, bools and
// integers of any width (all integers travel as 8 bytes).

inline bool WriteArgument(IpcBuffer& buffer, std::string_view value) {
  return buffer.WriteString(value);
}
inline bool WriteArgument(IpcBuffer& buffer, const std::string& value) {
  return buffer.WriteString(value);
}
inline bool WriteArgument(IpcBuffer& buffer, const char* value) {
  return buffer.WriteString(value);
}
inline bool WriteArgument(IpcBuffer& buffer, bool value) { return buffer.WriteBool(value); }
template <std::integral T>
requires(!std::same_as<T, bool>) bool WriteArgument(IpcBuffer& buffer, T value) {
  return buffer.WriteInt(static_cast<int64_t>(value));
}

inline bool ReadArgument(IpcBuffer& buffer, std::string& value) { return buffer.ReadString(value); }
/// A string argument read in place: valid during the call only, and never copied.
inline bool ReadArgument(IpcBuffer& buffer, std::string_view& value) {
  return buffer.ReadStringView(value);
}
inline bool ReadArgument(IpcBuffer& buffer, bool& value) { return buffer.ReadBool(value); }
template <std::integral T>
requires(!std::same_as<T, bool>) bool ReadArgument(IpcBuffer& buffer, T& value) {
  return buffer.ReadIntAs(value);
}

}  // namespace IPC
