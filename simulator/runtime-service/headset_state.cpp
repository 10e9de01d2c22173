#include "headset_state.h"

namespace luxsim {

namespace {

constexpr char kHeadsetConnectedEvent[] = "CorviaHMDConnected";

}  // namespace

std::optional<HeadsetState> HeadsetState::Create(bool connected) {
  std::optional<platform::OwnedNamedEvent> event =
      platform::OwnedNamedEvent::Create(kHeadsetConnectedEvent, connected);
  if (!event) return std::nullopt;
  return HeadsetState(std::move(*event), connected);
}

void HeadsetState::SetConnected(bool connected) {
  if (connected == connected_) return;
  if (connected) {
    event_.Set();
  } else {
    event_.Reset();
  }
  connected_ = connected;
  if (listener_) listener_();
}

void HeadsetState::SetMounted(bool mounted) {
  if (mounted == mounted_) return;
  mounted_ = mounted;
  if (listener_) listener_();
}

}  // namespace luxsim
