#include "platform/handle.h"

#include <unistd.h>

namespace platform {

void OwnedHandle::Reset(intptr_t value) {
  if (value_ != kInvalid && value_ != value) close(static_cast<int>(value_));
  value_ = value;
}

}  // namespace platform
