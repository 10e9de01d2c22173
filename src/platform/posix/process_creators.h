#pragma once

#include <cstdint>

// Windows keeps the id of the process that created a process for the process's whole life;
// Linux gives an orphan a new parent. This process is a child subreaper once it launched an
// application, so every process orphaned below it becomes its child: to name such a process's
// creator, the POSIX backend remembers the applications it launched and when they started.

namespace platform {

/// Notes that this process launched `processId` (right after creating it).
void NoteLaunchedProcess(uint32_t processId);

}  // namespace platform
