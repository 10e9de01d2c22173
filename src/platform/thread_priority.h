#pragma once

namespace platform {

/// Runs the calling thread at the lowest priority of its process's class, two steps below
/// normal (SetThreadPriority with THREAD_PRIORITY_LOWEST).
void SetCurrentThreadPriorityLowest();

}  // namespace platform
