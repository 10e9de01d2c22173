#pragma once

#include <cstdint>

#include "lux/lux_capi.h"

// The simulated Tarn headset: what the client library reports about the display and what the
// runtime service uses for eye poses.

namespace luxsim {

inline constexpr int kEyeResolutionWidth = 1440;
inline constexpr int kEyeResolutionHeight = 1600;
inline constexpr float kDisplayRefreshRate = 90.0f;
/// The inter-axial distance (between the lens centres) of an average user, in metres.
inline constexpr float kDefaultInterAxialDistance = 0.064f;
/// The adapter LUID the runtime names for the headset when the machine lists no display adapter
/// at the headset's index: a fixed value of the simulator.
inline constexpr uint64_t kHeadsetAdapterLuid = 0x0000000100002f4aull;
/// The id of the headset's audio output device: the sink that scripts/with-simulator makes
/// for it on the machine's audio server.
inline constexpr char kHeadsetAudioDeviceId[] = "tarn_headphones";

/// Field of view of each eye.
luxFovPort DefaultEyeFov(luxEyeType eye);

/// The description of the simulated headset.
luxHmdDesc HeadsetDescription();

/// The pose of `eye` relative to the head for an inter-axial distance (metres): no rotation,
/// half the distance to the left or to the right.
luxPosef EyeOffsetPose(luxEyeType eye, float interAxialDistance);

}  // namespace luxsim
