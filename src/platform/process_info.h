#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_handle.h"

namespace platform {

/// Identifier of the process that created this one (NtQueryInformationProcess, basic
/// information); nothing when the system does not tell.
std::optional<uint32_t> ParentProcessId();

/// The id of the process that created `processId` (NtQueryInformationProcess with the basic
/// information class), or `processId` itself when the process cannot be opened or queried. The
/// id stays the creator's after the creator has ended.
uint32_t ParentProcessId(uint32_t processId);

/// Base name of the executable of process `pid` (the first module of the process), in UTF-8;
/// nothing when the process cannot be opened or inspected.
std::optional<std::string> ProcessExecutableBaseName(uint32_t pid);

/// The file paths of the modules loaded in `process` (EnumProcessModules with
/// GetModuleFileNameExW), each once; nothing, with the last error set, when they cannot be
/// listed.
std::optional<std::vector<std::string>> ListProcessModules(const ProcessHandle& process);

}  // namespace platform
