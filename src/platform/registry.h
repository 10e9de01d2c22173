#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// RegGetValueW under HKEY_LOCAL_MACHINE, restricted to string values: the value `valueName` of
/// the key `key` (names separated by backslashes; a trailing backslash is allowed). Nothing,
/// with the last error set, when the key or the value does not exist, the value is not a
/// string, or it holds more than `maxLength` characters.
std::optional<std::string> ReadMachineRegistryString(std::string_view key,
                                                     std::string_view valueName, size_t maxLength);

}  // namespace platform
