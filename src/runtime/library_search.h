#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/dynamic_library.h"

namespace LuxLoader {

/// Environment variable naming the directory to load the runtime library from first.
inline constexpr char kLibraryDirectoryVariable[] = "LIBLUX_DLL_DIR";

/// Capacity of the path buffer, in characters with the terminating NUL.
inline constexpr size_t kMaxPath = 260;

/// The directories tried for the runtime library, in order: the value of LIBLUX_DLL_DIR
/// (`variable`, may be null) ending in the path separator, then the empty directory, which stands
/// for the system's library search. A value that is unset, empty, or too long for the path buffer
/// leaves the first directory empty too.
std::array<std::string, 2> CandidateDirectories(const char* variable);

/// The runtime library's file name in `directory` for `majorVersion` ("LibLUXRT64_1.dll" on
/// Windows, "LibLUXRT64_1.so" on POSIX, for major 1 and an empty directory); nothing when it
/// does not fit the path buffer.
std::optional<std::string> RuntimeLibraryPath(const std::string& directory, int majorVersion);

struct FoundLibrary {
  platform::LoadedModule module;  // empty when no candidate could be loaded
  int32_t result = 0;             // the result of the last candidate tried
};

/// Finds, signature-checks and loads the runtime library: each candidate directory is tried in
/// turn, and the first file that is signed as expected and loads ends the search.
FoundLibrary FindRuntimeLibrary(int majorVersion);

}  // namespace LuxLoader
