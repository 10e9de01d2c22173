#pragma once

namespace LuxLoader {

/// Name of the runtime service's headset-connected event.
inline constexpr char kHeadsetConnectedEvent[] = "CorviaHMDConnected";

/// True exactly while the runtime service signals that a headset is connected.
bool IsHeadsetConnected();

}  // namespace LuxLoader
