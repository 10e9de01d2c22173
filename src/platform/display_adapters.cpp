#include "platform/display_adapters.h"

// The adapters a factory found are read the same way on every system; finding them is the
// backend's.

namespace platform {

int32_t DisplayAdapterFactory::AdapterLuidAt(uint32_t index, AdapterLuid& luid) const {
  if (index >= adapters_.size()) return kDxgiErrorNotFound;
  luid = adapters_[index];
  return 0;
}

}  // namespace platform
