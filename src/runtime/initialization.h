#pragma once

#include "lux/lux_capi.h"

namespace LuxLoader {

/// Build-tool version of this client, reported to the runtime with lux_ReportClientInfo.
inline constexpr uint32_t kClientBuildToolVersion = 191627031;

/// The parameters handed to the runtime's lux_Initialize for the caller's `params` (null for
/// the defaults): the requested minor version counts only when the caller set
/// luxInit_RequestVersion, otherwise this client's minor version is requested; flags keep
/// their writable (low 24) bits.
luxInitParams AdjustedInitParams(const luxInitParams* params);

}  // namespace LuxLoader
