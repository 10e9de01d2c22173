#include "platform/computer_name.h"

#include <limits.h>
#include <unistd.h>

namespace platform {

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace platform
