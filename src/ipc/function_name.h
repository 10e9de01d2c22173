#pragma once

#include <cstddef>
#include <string_view>

namespace IPC {

/// Longest name of a remote function.
inline constexpr size_t kMaxFunctionNameLength = 63;

/// True for a name a function can be registered and called under: 1 to 63 bytes.
inline bool IsValidFunctionName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxFunctionNameLength;
}

/// Hash of a function name: h = 0; for each whole 4-byte little-endian word of the name
/// h = h * 37 + word, then for each remaining byte h = h * 37 + byte (bytes unsigned,
/// arithmetic modulo 2^64).
struct FunctionNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const;
};

}  // namespace IPC
