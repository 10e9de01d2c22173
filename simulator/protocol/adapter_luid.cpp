#include "protocol/adapter_luid.h"

#include "platform/display_adapters.h"

namespace luxsim {

std::optional<uint64_t> DisplayAdapterLuid(uint32_t index) {
  std::optional<platform::DisplayAdapterFactory> factory;
  platform::AdapterLuid luid;
  if (platform::DisplayAdapterFactory::Create(factory) != 0 ||
      factory->AdapterLuidAt(index, luid) != 0) {
    return std::nullopt;
  }
  // The low part fills the first four bytes, as in a Windows LUID.
  return uint64_t{luid.lowPart} | uint64_t{static_cast<uint32_t>(luid.highPart)} << 32;
}

}  // namespace luxsim
