#pragma once

#include <array>
#include <string>
#include <vector>

#include "validator/test_result.h"

// The verdict of TestCorviaDLLIncludes on the modules loaded in the application's process.

namespace QasValidator {

/// The key under HKEY_LOCAL_MACHINE whose string value "Base" is the runtime's installation
/// folder, ending in a separator. The runtime's own libraries live in its folder
/// Support/corvia-runtime/.
inline constexpr char kCorviaRegistryKey[] = "Software\\Wow6432Node\\Corvia VR, LLC\\Corvia\\";
inline constexpr char kCorviaBaseValue[] = "Base";

/// The base names of the runtime's libraries, in lower case, in the order they are compared.
inline constexpr std::array<const char*, 8> RuntimeDllNames = {
    "libluxrt32_1",  "libluxrt64_1",  "libluxplatform32_1", "libluxplatform64_1",
    "libluxp2p32_1", "libluxp2p64_1", "libluxavatar32_1",   "libluxavatar64_1"};

/// Every module in `modules` (file paths, in the order listed) that is one of the runtime's
/// libraries must be loaded from `runtimeDirectory`: its path, lower-cased, must equal the
/// folder followed by the base name and the system's library suffix, lower-cased as a whole;
/// no other normalisation. Each module loaded from elsewhere gets a three-line Error message;
/// the guideline page follows once and the verdict is `Failed`. Else `Passed`.
TestResult JudgeRuntimeModules(const std::string& runtimeDirectory,
                               const std::vector<std::string>& modules);

}  // namespace QasValidator
