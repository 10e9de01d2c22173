#pragma once

#include <functional>
#include <optional>

#include "platform/named_event.h"

namespace luxsim {

/// The simulated headset: whether it is connected (the machine-wide "CorviaHMDConnected"
/// event is signalled exactly then) and whether it is worn.
class HeadsetState {
 public:
  /// Creates the headset's named event; nothing when it cannot be created.
  static std::optional<HeadsetState> Create(bool connected);

  bool Connected() const { return connected_; }
  bool Mounted() const { return mounted_; }

  /// Plugs the headset in or out (the HDMI cable).
  void SetConnected(bool connected);
  /// Puts the headset on or takes it off (the proximity sensor).
  void SetMounted(bool mounted);

  /// Called after every change.
  void OnChange(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  HeadsetState(platform::OwnedNamedEvent event, bool connected)
      : event_(std::move(event)), connected_(connected) {}

  platform::OwnedNamedEvent event_;
  bool connected_;
  bool mounted_ = true;
  std::function<void()> listener_;
};

}  // namespace luxsim
