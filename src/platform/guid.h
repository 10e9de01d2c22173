#pragma once

#include <cstdint>

namespace platform {

/// A globally unique identifier with the field layout of the Windows GUID.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

/// A new random GUID (CoCreateGuid): RFC 4122 version 4 made from 16 random bytes of the
/// kernel. An all-zero GUID when the kernel has no random bytes to give.
Guid NewGuid();

}  // namespace platform
