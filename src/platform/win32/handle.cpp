#include "platform/handle.h"

#include <windows.h>

namespace platform {

void OwnedHandle::Reset(intptr_t value) {
  if (value_ != kInvalid && value_ != value) CloseHandle(reinterpret_cast<HANDLE>(value_));
  value_ = value;
}

}  // namespace platform
