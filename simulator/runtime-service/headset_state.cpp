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
  NotifyListeners();
}

void HeadsetState::SetMounted(bool mounted) {
  if (mounted == mounted_) return;
  mounted_ = mounted;
  NotifyListeners();
}

void HeadsetState::NotifyListeners() {
  for (const std::function<void()>& listener : listeners_) listener();
}

}  // namespace luxsim
