#pragma once

#include <cstdint>
#include <optional>

namespace luxsim {

/// The LUID of the machine's display adapter `index` (in DXGI's order, see
/// platform/display_adapters.h) as the eight bytes of a luxGraphicsLuid read as one number;
/// nothing when the machine has no such adapter.
std::optional<uint64_t> DisplayAdapterLuid(uint32_t index);

}  // namespace luxsim
