#include "platform/thread_description.h"

#include <pthread.h>

#include <cstring>

namespace platform {

void SetCurrentThreadDescription(const char* description) {
  // Linux thread names hold 15 characters and the terminating NUL.
  char name[16] = {};
  std::strncpy(name, description, sizeof name - 1);
  pthread_setname_np(pthread_self(), name);
}

}  // namespace platform
