#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

// Linux threads have nice values of their own. Each of the two steps below normal counts as
// five nice steps, so the thread runs 10 steps nicer than it was (at most 19, the nicest): the
// scheduler gives it about a tenth of the processor time of a normal thread that competes for
// the same core. Raising one's own nice value needs no privilege.

namespace platform {

namespace {

constexpr int kNiceStepsBelowNormal = 10;
constexpr int kNicest = 19;

}  // namespace

void SetCurrentThreadPriorityLowest() {
  const id_t thread = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, thread);
  if (nice == -1 && errno != 0) return;
  setpriority(PRIO_PROCESS, thread, std::min(nice + kNiceStepsBelowNormal, kNicest));
}

}  // namespace platform
