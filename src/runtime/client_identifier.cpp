#include "runtime/client_identifier.h"

#include "lux/lux_capi.h"

namespace LuxLoader {

const ClientIdentifier kClientIdentifier = {
    0x5c,
    0x0a,
    0x93,
    0xe1,
    0xd4,
    0x7b,
    0x26,
    0xf8,
    0xc1,
    0xe9,
    0x07,
    0x7a,
    0x3d,
    0xb4,
    0x52,
    0x8f,
    0x96,
    0xe1,
    0x5c,
    0x20,
    0xab,
    0x7d,
    0x43,
    0xe8,
    0xf0,
    0x39,
    0x1b,
    0x6c,
    0xfb,
    0x41,
    0x23,
    0xfd,  // identifier and its check value
    LUX_MAJOR_VERSION,
    LUX_MINOR_VERSION,
    LUX_PATCH_VERSION,
};

bool ClientIdentifierIsIntact(const ClientIdentifier& identifier) {
  uint32_t hash = 0x811c9dc5u;
  for (size_t i = 0; i < kIdentifierPayloadSize; ++i) {
    hash = (hash ^ identifier[i]) * 0x01000193u;
  }
  uint32_t stored = 0;
  for (size_t i = kIdentifierSize; i-- > kIdentifierPayloadSize;)
    stored = stored << 8 | identifier[i];
  return hash == stored;
}

}  // namespace LuxLoader
