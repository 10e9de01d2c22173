#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace LuxLoader {

/// The client identifier: 32 identifier bytes, then the version the client was built for
/// (major, minor, patch). The identifier bytes end in a check value over the 28 before it.
using ClientIdentifier = std::array<uint8_t, 35>;

/// The identifier this client carries.
extern const ClientIdentifier kClientIdentifier;

inline constexpr size_t kIdentifierPayloadSize = 28;
inline constexpr size_t kIdentifierSize = 32;
inline constexpr size_t kVersionMajorIndex = 32;
inline constexpr size_t kVersionMinorIndex = 33;
inline constexpr size_t kVersionPatchIndex = 34;

/// True when the check value of `identifier` (the last four identifier bytes, little endian)
/// is the 32-bit FNV-1a hash of the 28 bytes before it.
bool ClientIdentifierIsIntact(const ClientIdentifier& identifier);

}  // namespace LuxLoader
