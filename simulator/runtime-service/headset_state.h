#pragma once

#include <functional>
#include <optional>
#include <vector>

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

  /// Adds `listener`, called after every change (connected or worn), in the order the
  /// listeners were added. The runtime's core adds the first one: it works out the sessions'
  /// status again, so later listeners see the status that follows from the change.
  void AddListener(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

 private:
  HeadsetState(platform::OwnedNamedEvent event, bool connected)
      : event_(std::move(event)), connected_(connected) {}

  void NotifyListeners();

  platform::OwnedNamedEvent event_;
  bool connected_;
  bool mounted_ = true;
  std::vector<std::function<void()>> listeners_;
};

}  // namespace luxsim
