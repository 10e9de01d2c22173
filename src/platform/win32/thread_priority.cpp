#include "platform/thread_priority.h"

#include <windows.h>

namespace platform {

void SetCurrentThreadPriorityLowest() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

}  // namespace platform
