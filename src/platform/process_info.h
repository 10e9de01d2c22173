#pragma once

#include <cstdint>

namespace platform {

/// The id of the process that created `processId` (NtQueryInformationProcess with the basic
/// information class), or `processId` itself when the process cannot be opened or queried.
uint32_t ParentProcessId(uint32_t processId);

}  // namespace platform
